// The picture store and the decoding of stored pictures, without windows.
#include <QtTest>
#include <cstring>

#include "TestEnvironment.h"
#include "TestPictures.h"
#include "crypto/PassPhrase.h"
#include "images/ImageStore.h"
#include "images/PictureDecoder.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kAnna = u"414E4E41"_s;
const QString kBert = u"42455254"_s;

}  // namespace

class ImageStoreTest : public test::DatabaseTest {
    Q_OBJECT

    QString writeFile(const QString& name, const QByteArray& bytes) {
        return test::writeFile(env->root() + u"pictures/"_s + name, bytes);
    }
    // The names listed for the owner, in order.
    QStringList listed(const QString& owner) {
        const Result<QList<ImageLine>> lines = ListImages(*database, owner);
        const QList<ImageLine> failed{{-1, u"<failed>"_s}};
        QStringList names;
        for (const ImageLine& line : lines.ok() ? lines.value() : failed) {
            names.append(line.name);
        }
        return names;
    }
    QByteArray stored(const QString& owner, qint64 counter) {
        Result<std::optional<QByteArray>> bytes = readImageBytes(*database, owner, counter);
        return bytes.ok() && bytes.value() ? *bytes.value() : QByteArray("<none>");
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void checkInKeepsEveryByteAndOrder() {
        // Every byte value, a zero-length file and a name of another script with markup in it.
        QByteArray all;
        for (int i = 0; i < 256 * 4; ++i) {
            all.append(char(i % 256));
        }
        const QString first = writeFile(u"  <b>x<b> & Фото 写真 .dat"_s, all);
        const QString empty = writeFile(u"empty.jpg"_s, {});
        const ImageCheckInResult result = AddImages(*database, kAnna, {first, empty, first});
        QVERIFY(!result.failure);
        QCOMPARE(result.counters.size(), 3);
        QCOMPARE(listed(kAnna), (QStringList{u"  <b>x<b> & Фото 写真 .dat"_s, u"empty.jpg"_s,
                                             u"  <b>x<b> & Фото 写真 .dat"_s}));
        QCOMPARE(stored(kAnna, result.counters[0]), all);
        QCOMPARE(stored(kAnna, result.counters[1]), QByteArray());
        QCOMPARE(stored(kAnna, result.counters[2]), all);
    }

    void ownersAreKeptApart() {
        const QString path = writeFile(u"a.png"_s, "anna's");
        const qint64 annas = AddImages(*database, kAnna, {path}).counters.value(0);
        const qint64 berts =
            AddImages(*database, kBert, {writeFile(u"b.png"_s, "bert's")}).counters.value(0);
        QCOMPARE(listed(kAnna), QStringList{u"a.png"_s});
        QCOMPARE(listed(kBert), QStringList{u"b.png"_s});
        // Neither reading nor deleting reaches another user's picture.
        QCOMPARE(stored(kBert, annas), QByteArray("<none>"));
        QCOMPARE(DeleteImages(*database, kBert, {annas, berts}).value(), 1);
        QVERIFY(listed(kBert).isEmpty());
        QCOMPARE(stored(kAnna, annas), QByteArray("anna's"));
    }

    void failedCheckInAndDeletionChangeNothing() {
        const QString good = writeFile(u"good.bmp"_s, "good");
        const QString missing = env->root() + u"pictures/missing.bmp"_s;
        ImageCheckInResult result = AddImages(*database, kAnna, {good, missing, good});
        QVERIFY(result.failure);
        QCOMPARE(result.failure->path, missing);
        QVERIFY(!result.failure->fileError.isEmpty());
        QVERIFY(listed(kAnna).isEmpty());
        // The database refusing the second row: the first is not kept either.
        QVERIFY(database->open()
                    ->exec(u"CREATE TRIGGER Refuse BEFORE INSERT ON Images WHEN NEW.ImageName = "
                           u"'refused.bmp' "
                           u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s)
                    .ok());
        result = AddImages(*database, kAnna, {good, writeFile(u"refused.bmp"_s, "r")});
        QVERIFY(result.failure);
        QVERIFY(result.failure->path.isEmpty());
        QVERIFY(!result.failure->status.ok());
        QVERIFY(listed(kAnna).isEmpty());

        // A deletion the database refuses for one row keeps them all.
        const QList<qint64> counters = AddImages(*database, kAnna, {good, good, good}).counters;
        QVERIFY(database->open()
                    ->exec(u"CREATE TRIGGER Keep BEFORE DELETE ON Images WHEN OLD.Counter = %1 "
                           u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s.arg(counters[2]))
                    .ok());
        QVERIFY(!DeleteImages(*database, kAnna, counters).ok());
        QCOMPARE(listed(kAnna).size(), 3);
        QCOMPARE(DeleteImages(*database, kAnna, {counters[0], counters[1]}).value(), 1 + 1);
        QCOMPARE(ListImages(*database, kAnna).value().value(0).counter, counters[2]);
        QCOMPARE(listed(kAnna).size(), 1);
    }

    void decodesPicturesFromMemory_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QImage image = test::quarters(QSize(64, 48));
        QTest::newRow("png") << test::encoded(image, "PNG");
        QTest::newRow("jpeg") << test::encoded(image, "JPEG");
        QTest::newRow("bmp") << test::encoded(image, "BMP");
        QTest::newRow("tiff") << test::encoded(image, "TIFF");
        QTest::newRow("webp") << test::encoded(image, "WEBP", 100);
        QTest::newRow("tga") << test::tgaFile(image, true);
        QTest::newRow("older tga") << test::tgaFile(image, false);
        QTest::newRow("pcx") << test::pcxFile(image);
        QTest::newRow("psd") << test::psdFile(image);
    }
    void decodesPicturesFromMemory() {
        QFETCH(QByteArray, bytes);
        QVERIFY2(!bytes.isEmpty(), "the toolkit could not write this format");
        const QImage picture = decodePicture(bytes);
        QCOMPARE(picture.size(), QSize(64, 48));
        // Each quarter keeps its colour (within the loss of the lossy formats).
        const QImage expected = test::quarters(QSize(64, 48));
        for (const QPoint at : {QPoint(10, 10), QPoint(50, 10), QPoint(10, 40), QPoint(50, 40)}) {
            const QColor got = picture.pixelColor(at);
            const QColor want = expected.pixelColor(at);
            QVERIFY2(
                qAbs(got.red() - want.red()) < 12 && qAbs(got.green() - want.green()) < 12 &&
                    qAbs(got.blue() - want.blue()) < 12,
                qPrintable(QStringLiteral("%1,%2: %3").arg(at.x()).arg(at.y()).arg(got.name())));
        }
        QVERIFY(test::filesUnder(env->tempBase()).isEmpty());
    }

    void undecodableContentGivesNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray jpeg = test::encoded(test::quarters(QSize(400, 300)), "JPEG");
        const QByteArray psd = test::psdFile(test::quarters(QSize(40, 30)));
        QTest::newRow("text") << QByteArray("just some notes\nnot a picture\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated jpeg") << jpeg.left(jpeg.size() / 2);
        QTest::newRow("jpeg header only") << jpeg.left(300);
        QTest::newRow("huge bmp") << test::hugeBmp();
        QTest::newRow("truncated psd") << psd.left(psd.size() / 2);
        QByteArray hugePsd = psd;
        hugePsd.replace(14, 8, QByteArray::fromHex("0000c3500000c350"));  // 50000 x 50000
        QTest::newRow("huge psd") << hugePsd;
        QByteArray hugePcx = test::pcxFile(test::quarters(QSize(40, 30)));
        hugePcx.replace(8, 4, QByteArray::fromHex("ffffffff"));  // 65536 x 65536
        QTest::newRow("huge pcx") << hugePcx;
    }
    void undecodableContentGivesNothing() {
        QFETCH(QByteArray, bytes);
        QVERIFY(decodePicture(bytes).isNull());
        QVERIFY(decodePicture(bytes, QSize(200, 150)).isNull());
        QVERIFY(test::filesUnder(env->tempBase()).isEmpty());
    }

    void decodesGifAndPreviewsAtTheBoxSize() {
        const QImage gif = decodePicture(test::tinyGif());
        QCOMPARE(gif.size(), QSize(2, 2));
        QCOMPARE(gif.pixelColor(1, 1), QColor(Qt::red));
        const QByteArray jpeg = test::encoded(test::quarters(QSize(1600, 1200)), "JPEG");
        // With its proportions: 4:3 in a box of 16:10 is as high as the box.
        QCOMPARE(decodePicture(jpeg, QSize(320, 200)).size(), QSize(266, 200));
        QCOMPARE(decodePicture(jpeg, QSize(200, 320)).size(), QSize(200, 150));
        // A picture smaller than the box comes at its own size.
        QCOMPARE(decodePicture(jpeg, QSize(2000, 1500)).size(), QSize(1600, 1200));
    }

    // Pictures up to the program's ceiling decode whole, past the toolkit's smaller default
    // limit; one beyond it tells its size.
    void largePhotosDecodeUpToTheCeiling() {
        // 5800 x 5800 colour pixels take just over 128 MiB decoded (four bytes each).
        QImage source(5800, 5800, QImage::Format_Indexed8);
        source.setColorTable({qRgb(200, 30, 30), qRgb(30, 30, 200)});
        source.fill(0);
        for (int y = source.height() / 2; y < source.height(); ++y) {
            std::memset(source.scanLine(y), 1, source.width());
        }
        const QByteArray photo = test::encoded(source, "JPEG", 50);
        source = QImage();
        QSize tooLarge(1, 1);
        const QImage picture = decodePicture(photo, QSize(), &tooLarge);
        QCOMPARE(picture.size(), QSize(5800, 5800));
        QVERIFY(!tooLarge.isValid());
        QVERIFY(qAbs(picture.pixelColor(10, 5790).blue() - 200) < 12);
        // The preview of a picture over the ceiling: decoded straight at the box's size.
        QCOMPARE(decodePicture(photo, QSize(300, 200)).size(), QSize(200, 200));

        // 8200 x 8200 pixels take just over 256 MiB.
        QVERIFY(decodePicture(test::oversizedJpeg(QSize(8200, 8200)), QSize(), &tooLarge).isNull());
        QCOMPARE(tooLarge, QSize(8200, 8200));
        for (const QByteArray& broken : {test::hugeBmp(), QByteArray("not a picture")}) {
            QVERIFY(decodePicture(broken, QSize(), &tooLarge).isNull());
            QVERIFY(!tooLarge.isValid());
        }
    }

    void dialogPatternsNameEveryDecodedFormat() {
        const QStringList patterns = decodablePatterns();
        for (const char* pattern : {"*.bmp", "*.jpg", "*.jpeg", "*.gif", "*.png", "*.tif", "*.webp",
                                    "*.tga", "*.pcx", "*.psd"}) {
            QVERIFY2(patterns.contains(QLatin1String(pattern)), pattern);
        }
    }
};

QTEST_MAIN(ImageStoreTest)
#include "tst_image_store.moc"
