#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace ks::test {

// Picture files made on the spot, in memory.

// A picture of the given size in the named toolkit format ("PNG", "JPEG", "BMP" …): four
// coloured quarters.
QImage quarters(QSize size);
QByteArray encoded(const QImage& image, const char* format, int quality = 90);

// A 24-bit PCX file (three planes, run-length encoded) and a flat RGB Photoshop file with no
// layers of `image`.
QByteArray pcxFile(const QImage& image);
QByteArray psdFile(const QImage& image);

// An uncompressed 24-bit TGA file of `image`, with or without the footer of the newer TGA
// files, and a 2 x 2 red GIF file.
QByteArray tgaFile(const QImage& image, bool withFooter);
QByteArray tinyGif();

// A BMP header claiming a picture far beyond any sane size, with a few bytes of pixels.
QByteArray hugeBmp();
// A JPEG file whose header claims `claimed` pixels, followed by the data of a small picture.
QByteArray oversizedJpeg(QSize claimed);

}  // namespace ks::test
