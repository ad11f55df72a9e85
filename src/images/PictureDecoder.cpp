#include "images/PictureDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

#include "images/ForeignPictures.h"

namespace ks {

namespace {

bool tooLarge(QSize size) {
    return qint64(size.width()) * size.height() * 4 > kLargestDecodedBytes;
}

// A JPEG whose data ends before its end-of-image marker is truncated. The decoder would fill
// the missing part in grey and call that a success.
bool truncatedJpeg(const QByteArray& bytes) {
    if (!bytes.startsWith("\xFF\xD8\xFF")) {
        return false;
    }
    const qsizetype lastScan = bytes.lastIndexOf("\xFF\xDA");
    return lastScan < 0 || bytes.indexOf("\xFF\xD9", lastScan) < 0;
}

// Reads the picture with the decoder of `format`, or the one the content points to when no
// format is given.
QImage readAs(const QByteArray& bytes, const QByteArray& format, QSize box) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return {};
    }
    const QSize size = reader.size();
    if (size.isValid() && tooLarge(size)) {
        return {};
    }
    if (box.isValid() && size.isValid() &&
        (size.width() > box.width() || size.height() > box.height()) &&
        reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(box);
    }
    QImage image;
    if (!reader.read(&image) || tooLarge(image.size())) {
        return {};
    }
    return image;
}

QImage decodeWithToolkit(const QByteArray& bytes, QSize box) {
    if (QImage image = readAs(bytes, {}, box); !image.isNull()) {
        return image;
    }
    // Some contents pass for another format (an uncompressed TGA picture for a cursor): then
    // each decoder has its try.
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        if (QImage image = readAs(bytes, format, box); !image.isNull()) {
            return image;
        }
    }
    return {};
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, QSize box) {
    if (bytes.isEmpty() || truncatedJpeg(bytes)) {
        return {};
    }
    if (QImage image = decodeWithToolkit(bytes, box); !image.isNull()) {
        return image;
    }
    return isForeignPicture(bytes) ? decodeForeignPicture(bytes, kLargestDecodedBytes) : QImage();
}

QStringList decodablePatterns() {
    QStringList patterns = foreignPatterns();
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format).toLower());
    }
    std::sort(patterns.begin(), patterns.end());
    patterns.erase(std::unique(patterns.begin(), patterns.end()), patterns.end());
    return patterns;
}

}  // namespace ks
