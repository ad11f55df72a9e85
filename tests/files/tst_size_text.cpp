// The size texts of the file list and the list keys.
#include <QtTest>

#include "files/FileStore.h"
#include "files/SizeText.h"

using namespace ks;
using namespace Qt::StringLiterals;

class SizeTextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizesByRange_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64{0} << u"0 b"_s;
        QTest::newRow("500") << qint64{500} << u"500 b"_s;
        QTest::newRow("1023") << qint64{1023} << u"1023 b"_s;
        QTest::newRow("1024") << qint64{1024} << u"1 Kb"_s;
        QTest::newRow("1536") << qint64{1536} << u"1.5 Kb"_s;
        QTest::newRow("2048") << qint64{2048} << u"2 Kb"_s;
        QTest::newRow("two places") << qint64{1100} << u"1.07 Kb"_s;
        QTest::newRow("just under 1 Mb") << qint64{1048575} << u"1024 Kb"_s;
        QTest::newRow("1048576") << qint64{1048576} << u"1 Mb"_s;
        QTest::newRow("1073741824") << qint64{1073741824} << u"1 Gb"_s;
        // 1.125 and 1.375: the half goes to the even digit.
        QTest::newRow("half down to even") << qint64{1152} << u"1.12 Kb"_s;
        QTest::newRow("half up to even") << qint64{1408} << u"1.38 Kb"_s;
        // Beyond 32 bits.
        QTest::newRow("5 Gb") << qint64{5} * 1073741824 << u"5 Gb"_s;
        QTest::newRow("2.5 Gb") << qint64{2684354560} << u"2.5 Gb"_s;
        QTest::newRow("8 Tb") << (qint64{8} << 40) << u"8192 Gb"_s;
    }
    void sizesByRange() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(sizeText(bytes, QLocale::c()), text);
    }

    void compressedSizeRoundsThroughFourPlaces() {
        // 1193 / 1024 = 1.16503...: 1.17 directly, but 1.1650 after four places, then 1.16.
        QCOMPARE(sizeText(1193, QLocale::c()), u"1.17 Kb"_s);
        QCOMPARE(compressedSizeText(1193, QLocale::c()), u"1.16 Kb"_s);
        QCOMPARE(sizeText(1053819, QLocale::c()), u"1.01 Mb"_s);
        QCOMPARE(compressedSizeText(1053819, QLocale::c()), u"1 Mb"_s);
        QCOMPARE(compressedSizeText(125829120, QLocale::c()), u"120 Mb"_s);
        QCOMPARE(compressedSizeText(1023, QLocale::c()), u"1023 b"_s);
    }

    void systemDecimalSeparator() {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(sizeText(1536, german), u"1,5 Kb"_s);
        QCOMPARE(compressedSizeText(1100, german), u"1,07 Kb"_s);
        // No group separators: a thousand Kb stays one number.
        QCOMPARE(sizeText(1047552, german), u"1023 Kb"_s);
        QLocale::setDefault(german);
        QCOMPARE(sizeText(1536), u"1,5 Kb"_s);
        QLocale::setDefault(QLocale::c());
    }

    void listKeys() {
        QCOMPARE(fileKey(17), u"K17"_s);
        QCOMPARE(counterFromKey(u"K17"_s), std::optional<qint64>(17));
        QCOMPARE(counterFromKey(u"K"_s), std::nullopt);
        QCOMPARE(counterFromKey(u"K1x"_s), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(SizeTextTest)
#include "tst_size_text.moc"
