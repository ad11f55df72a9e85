// The picture store on a large database: 10 users with 50 pictures of 5 MB each. Listing one
// user's pictures against an empty database; a preview of a 24-megapixel photo; the check-in
// of a 20 MB picture against reading the file and writing its bytes as a blob by hand.
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "images/ImageStore.h"
#include "images/PictureDecoder.h"
#include "storage/Database.h"

using namespace ks;

namespace {

constexpr int kUsers = 10;
constexpr int kPicturesPerUser = 50;
constexpr qsizetype kPictureBytes = 5 * 1024 * 1024;
constexpr qsizetype kLargeBytes = 20 * 1024 * 1024;

QByteArray noise(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Every user's pictures, interleaved as users would check them in.
void fill(DatabaseAccess& database) {
    const QByteArray picture = noise(kPictureBytes);
    Result<Connection> connection = database.open();
    Transaction transaction = connection->begin();
    Statement insert = connection->prepare(
        QStringLiteral("INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"));
    for (int n = 0; n < kPicturesPerUser; ++n) {
        for (int user = 0; user < kUsers; ++user) {
            insert.reset();
            insert.bind(1, QStringLiteral("photo %1.jpg").arg(n)).bindBlob(2, picture);
            insert.bind(3, bench::ownerOf(user));
            insert.run();
        }
    }
    transaction.commit();
}

// A 24-megapixel photo (6000 x 4000) with some detail in it.
QByteArray largePhoto() {
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < 60; ++i) {
        painter.fillRect(i * 100, 0, 100, 4000, QColor::fromHsv(i * 6, 180, 200));
        painter.drawLine(0, i * 66, 6000, 4000 - i * 66);
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    bench::BenchFolder emptyFolder;
    bench::BenchFolder fullFolder;
    DatabaseAccess empty(emptyFolder.databasePath(), PassPhrase());
    DatabaseAccess full(fullFolder.databasePath(), PassPhrase());
    QElapsedTimer filling;
    filling.start();
    fill(full);
    std::printf("filled %d pictures of %lld bytes in %.1f s\n", kUsers * kPicturesPerUser,
                static_cast<long long>(kPictureBytes), filling.elapsed() / 1000.0);

    const QString owner = bench::ownerOf(3);
    const double listEmpty = bench::medianMs(21, [&] { ListImages(empty, owner); });
    const double listFull = bench::medianMs(21, [&] { ListImages(full, owner); });
    bench::printFigure("ListImages, empty database (baseline)", listEmpty);
    bench::ratioVerdict("ListImages, 10 users x 50 pictures of 5 MB, against empty", listFull,
                        listEmpty, {3.0, 50.0});

    const QByteArray photo = largePhoto();
    const double preview = bench::medianMs(5, [&] { decodePicture(photo, QSize(480, 360)); });
    bench::verdict("preview of a 24-megapixel JPEG", preview, "ms", 200, "<= 200 ms");
    const double viewer = bench::medianMs(3, [&] { decodePicture(photo); });
    bench::printFigure("the same photo at its own size (viewer)", viewer);

    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/large.png");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(noise(kLargeBytes));
    file.close();
    const double byHand = bench::medianMs(5, [&] {
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        WriteOperation write(empty);
        Statement insert = write.connection().prepare(
            QStringLiteral("INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"));
        insert.bind(1, QStringLiteral("large.png")).bindBlob(2, bytes).bind(3, owner);
        insert.run();
        write.commit();
    });
    const double checkIn = bench::medianMs(5, [&] { AddImages(empty, owner, {path}); });
    bench::printFigure("read 20 MB and write them as a blob (baseline)", byHand);
    bench::ratioVerdict("check-in of a 20 MB picture against the baseline", checkIn, byHand, {1.5});
    return 0;
}
