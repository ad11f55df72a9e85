#include "images/PictureDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

#include "images/ForeignPictures.h"

namespace ks {

namespace {

// The bytes a picture takes decoded in `format`: four a pixel at least, as it takes on the
// screen; more for the formats of more than 8 bits a channel.
qint64 decodedBytes(QSize size, QImage::Format format) {
    const int bits =
        format == QImage::Format_Invalid ? 0 : QImage::toPixelFormat(format).bitsPerPixel();
    return qint64(size.width()) * size.height() * std::max(4, bits / 8);
}

bool tooLarge(QSize size, QImage::Format format = QImage::Format_Invalid) {
    return decodedBytes(size, format) > kLargestDecodedBytes;
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
// format is given. A picture refused for its size leaves its size in `refused`.
QImage readAs(const QByteArray& bytes, const QByteArray& format, QSize box, QSize& refused) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return {};
    }
    const QSize size = reader.size();
    // A larger picture is decoded straight at the box's size where the format allows it, with
    // its proportions; then only that size counts.
    QSize decoded = size;
    if (box.isValid() && size.isValid() &&
        (size.width() > box.width() || size.height() > box.height()) &&
        reader.supportsOption(QImageIOHandler::ScaledSize)) {
        decoded = size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        reader.setScaledSize(decoded);
    }
    if (decoded.isValid() && tooLarge(decoded, reader.imageFormat())) {
        refused = size;
        return {};
    }
    QImage image;
    if (!reader.read(&image) || tooLarge(image.size(), image.format())) {
        return {};
    }
    return image;
}

QImage decodeWithToolkit(const QByteArray& bytes, QSize box, QSize& refused) {
    if (QImage image = readAs(bytes, {}, box, refused); !image.isNull() || refused.isValid()) {
        return image;
    }
    // Some contents pass for another format (an uncompressed TGA picture for a cursor): then
    // each decoder has its try.
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        if (QImage image = readAs(bytes, format, box, refused); !image.isNull()) {
            return image;
        }
    }
    return {};
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, QSize box, QSize* tooLargeSize) {
    // The toolkit's decoders refuse to allocate more than half of this by default.
    QImageReader::setAllocationLimit(static_cast<int>(kLargestDecodedBytes >> 20));
    if (bytes.isEmpty() || truncatedJpeg(bytes)) {
        return {};
    }
    QSize refused;
    QImage image = decodeWithToolkit(bytes, box, refused);
    if (image.isNull() && !refused.isValid() && isForeignPicture(bytes)) {
        image = decodeForeignPicture(bytes, kLargestDecodedBytes);
    }
    if (tooLargeSize != nullptr) {
        *tooLargeSize = image.isNull() ? refused : QSize();
    }
    return image;
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
