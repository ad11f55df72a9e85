#include "images/ForeignPictures.h"

#include <magick/MagickCore.h>

#include <cstdio>
#include <mutex>

namespace ks {

namespace {

bool looksLikePcx(const QByteArray& bytes) {
    // Maker 10, a known version, run-length encoding, a usual pixel depth.
    if (bytes.size() < 128 || static_cast<unsigned char>(bytes[0]) != 0x0A) {
        return false;
    }
    const int version = bytes[1];
    const int depth = bytes[3];
    return (version == 0 || (version >= 2 && version <= 5)) && bytes[2] == 1 &&
           (depth == 1 || depth == 2 || depth == 4 || depth == 8);
}

bool looksLikePsd(const QByteArray& bytes) {
    return bytes.size() >= 26 && bytes.startsWith("8BPS");
}

bool looksLikeTga(const QByteArray& bytes) {
    // Older TGA files carry no signature: a plausible header of an uncompressed or run-length
    // encoded picture.
    if (bytes.size() < 18) {
        return false;
    }
    const int mapType = bytes[1];
    const int type = bytes[2];
    const int depth = bytes[16];
    const bool knownType =
        type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return (mapType == 0 || mapType == 1) && knownType && knownDepth;
}

void setUpOnce(qint64 largestBytes) {
    static std::once_flag once;
    std::call_once(once, [largestBytes] {
        MagickCoreGenesis(nullptr, MagickFalse);
        // Pixels live in memory only: a cache that would spill into files fails instead.
        SetMagickResourceLimit(DiskResource, 0);
        SetMagickResourceLimit(MapResource, 0);
        SetMagickResourceLimit(AreaResource, static_cast<MagickSizeType>(largestBytes / 4));
        SetMagickResourceLimit(ThreadResource, 1);
    });
}

// Decodes with the named decoder only, and only if it reads from memory (otherwise the
// library would copy the bytes into a temporary file).
Image* readWith(const char* decoder, const QByteArray& bytes, ExceptionInfo* exception) {
    const MagickInfo* info = GetMagickInfo(decoder, exception);
    if (info == nullptr || info->decoder == nullptr || GetMagickBlobSupport(info) == MagickFalse) {
        return nullptr;
    }
    ImageInfo* imageInfo = AcquireImageInfo();
    CopyMagickString(imageInfo->magick, decoder, MaxTextExtent);
    std::snprintf(imageInfo->filename, MaxTextExtent, "%s:", decoder);
    imageInfo->affirm = MagickTrue;
    Image* image =
        BlobToImage(imageInfo, bytes.constData(), static_cast<size_t>(bytes.size()), exception);
    DestroyImageInfo(imageInfo);
    return image;
}

QImage toQImage(const Image* image, qint64 largestBytes, ExceptionInfo* exception) {
    const qint64 width = static_cast<qint64>(image->columns);
    const qint64 height = static_cast<qint64>(image->rows);
    if (width <= 0 || height <= 0 || width * height * 4 > largestBytes) {
        return {};
    }
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGBA8888);
    if (picture.isNull()) {
        return {};
    }
    if (ExportImagePixels(image, 0, 0, image->columns, image->rows, "RGBA", CharPixel,
                          picture.bits(), exception) == MagickFalse) {
        return {};
    }
    if (image->matte == MagickFalse) {
        picture = picture.convertToFormat(QImage::Format_RGB32);
    }
    return picture;
}

}  // namespace

bool isForeignPicture(const QByteArray& bytes) {
    return looksLikePcx(bytes) || looksLikePsd(bytes) || looksLikeTga(bytes);
}

QImage decodeForeignPicture(const QByteArray& bytes, qint64 largestBytes) {
    const char* decoder = looksLikePsd(bytes)   ? "PSD"
                          : looksLikePcx(bytes) ? "PCX"
                          : looksLikeTga(bytes) ? "TGA"
                                                : nullptr;
    if (decoder == nullptr) {
        return {};
    }
    static std::mutex serial;
    const std::lock_guard<std::mutex> lock(serial);
    setUpOnce(largestBytes);
    ExceptionInfo* exception = AcquireExceptionInfo();
    QImage picture;
    // A Photoshop file's first image is its flattened composite; layers follow it.
    if (Image* image = readWith(decoder, bytes, exception); image != nullptr) {
        picture = toQImage(image, largestBytes, exception);
        DestroyImageList(image);
    }
    DestroyExceptionInfo(exception);
    return picture;
}

QStringList foreignPatterns() {
    return {QStringLiteral("*.pcx"), QStringLiteral("*.psd"), QStringLiteral("*.tga")};
}

}  // namespace ks
