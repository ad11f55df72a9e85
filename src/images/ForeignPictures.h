#pragma once

#include <QByteArray>
#include <QImage>
#include <QStringList>

namespace ks {

// Pictures the toolkit cannot read (PCX, Photoshop files as their flattened composite, and TGA
// files older than the toolkit reads),
// decoded from memory by ImageMagick's MagickCore. Only these two decoders are ever used, whatever
// the content claims to be, and the decoder may use neither files nor more than `largestBytes`.

// Whether the content looks like one of these formats.
bool isForeignPicture(const QByteArray& bytes);

// The picture, or a null image when it cannot be decoded within the limit.
QImage decodeForeignPicture(const QByteArray& bytes, qint64 largestBytes);

// Their name patterns.
QStringList foreignPatterns();

}  // namespace ks
