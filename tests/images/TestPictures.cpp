#include "TestPictures.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>

namespace ks::test {

QImage quarters(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    painter.fillRect(0, 0, w, h, QColor(200, 30, 30));
    painter.fillRect(w, 0, size.width() - w, h, QColor(30, 200, 30));
    painter.fillRect(0, h, w, size.height() - h, QColor(30, 30, 200));
    painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(230, 230, 40));
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QByteArray pcxFile(const QImage& image) {
    const int width = image.width();
    const int height = image.height();
    const int bytesPerLine = (width + 1) & ~1;
    QByteArray header(128, '\0');
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint8(0x0A) << quint8(5) << quint8(1) << quint8(8);
    out << quint16(0) << quint16(0) << quint16(width - 1) << quint16(height - 1);
    out << quint16(72) << quint16(72);
    out.device()->seek(65);
    out << quint8(3) << quint16(bytesPerLine) << quint16(1);
    QByteArray file = header;
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int x = 0; x < bytesPerLine; ++x) {
                const QRgb pixel = image.pixel(qMin(x, width - 1), y);
                const int value = plane == 0   ? qRed(pixel)
                                  : plane == 1 ? qGreen(pixel)
                                               : qBlue(pixel);
                file.append(char(0xC1));  // a run of one
                file.append(char(value));
            }
        }
    }
    return file;
}

QByteArray psdFile(const QImage& image) {
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out.writeRawData("8BPS", 4);
    out << quint16(1);
    out.writeRawData("\0\0\0\0\0\0", 6);
    out << quint16(3) << quint32(image.height()) << quint32(image.width()) << quint16(8)
        << quint16(3);
    out << quint32(0) << quint32(0) << quint32(0);  // colour data, resources, layers: none
    out << quint16(0);                              // raw pixels, one plane per channel
    for (int plane = 0; plane < 3; ++plane) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                out << quint8(plane == 0 ? qRed(pixel) : plane == 1 ? qGreen(pixel) : qBlue(pixel));
            }
        }
    }
    return file;
}

QByteArray tgaFile(const QImage& image, bool withFooter) {
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint8(0) << quint8(0) << quint8(2);    // true colour, uncompressed
    out << quint16(0) << quint16(0) << quint8(0);  // no colour map
    out << quint16(0) << quint16(0) << quint16(image.width()) << quint16(image.height());
    out << quint8(24) << quint8(0x20);  // rows from the top
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel));
        }
    }
    if (withFooter) {
        out << quint32(0) << quint32(0);
        out.writeRawData("TRUEVISION-XFILE.", 18);
    }
    return file;
}

QByteArray tinyGif() {
    return QByteArray::fromHex(
        "47494638396102000200f00000ff000000000021f90400000000002c00000000020002000002028451003b");
}

QByteArray hugeBmp() {
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54 + 64) << quint32(0) << quint32(54);
    out << quint32(40) << qint32(30000) << qint32(30000) << quint16(1) << quint16(24) << quint32(0)
        << quint32(0) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    file.append(QByteArray(64, '\x7F'));
    return file;
}

QByteArray oversizedJpeg(QSize claimed) {
    QByteArray jpeg = encoded(quarters(QSize(64, 48)), "JPEG");
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");  // marker, length, precision, height, width
    const auto put = [&jpeg](qsizetype at, int value) {
        jpeg[at] = static_cast<char>(value >> 8);
        jpeg[at + 1] = static_cast<char>(value & 0xFF);
    };
    put(frame + 5, claimed.height());
    put(frame + 7, claimed.width());
    return jpeg;
}

}  // namespace ks::test
