#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QStringList>

namespace ks {

// Stored pictures are decoded from memory only: no picture ever passes through a file.

// The largest picture decoded, as bytes of 32-bit pixels. Larger ones count as not decodable,
// so that a hostile or huge file cannot exhaust the memory.
constexpr qint64 kLargestDecodedBytes = qint64(256) * 1024 * 1024;

// The picture held in `bytes`; a null image when they are no picture this program reads, are
// damaged or truncated, or would exceed kLargestDecodedBytes (then `tooLargeSize`, when given,
// receives the picture's size; otherwise it is made invalid). The format is told from the
// content, never from a name. With a valid `box`, a picture larger than the box is decoded
// straight at the largest size that fits the box with its proportions, where its format allows
// it (a quick preview).
QImage decodePicture(const QByteArray& bytes, QSize box = QSize(), QSize* tooLargeSize = nullptr);

// The name patterns ("*.png" …) of every format decodePicture reads, sorted.
QStringList decodablePatterns();

}  // namespace ks
