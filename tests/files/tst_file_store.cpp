// The file store with the real gcab and fake archivers: check-in, the list and its size texts,
// deletion and owners.
#include <QtTest>

#include "FileStoreFixture.h"
#include "files/FileMessages.h"
#include "files/SizeText.h"

using namespace ks;
using namespace Qt::StringLiterals;

class FileStoreTest : public test::FileStoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { startFileStore(); }
    void cleanup() { endDatabase(); }

    void sizesByRange_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64{0} << u"0 b"_s;
        QTest::newRow("1023") << qint64{1023} << u"1023 b"_s;
        QTest::newRow("1024") << qint64{1024} << u"1 Kb"_s;
        QTest::newRow("1536") << qint64{1536} << u"1.5 Kb"_s;
        QTest::newRow("two places") << qint64{1100} << u"1.07 Kb"_s;
        QTest::newRow("just under 1 Mb") << qint64{1048575} << u"1024 Kb"_s;
        QTest::newRow("1048576") << qint64{1048576} << u"1 Mb"_s;
        QTest::newRow("1073741824") << qint64{1073741824} << u"1 Gb"_s;
        // 1.125 and 1.375: the half goes to the even digit.
        QTest::newRow("half down to even") << qint64{1152} << u"1.12 Kb"_s;
        QTest::newRow("half up to even") << qint64{1408} << u"1.38 Kb"_s;
        // Beyond 32 bits.
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

    void roundTripThroughGcab() {
        const QByteArray content = test::mixedBytes(300000);
        const QString name = u" Отчёт 名前 <b>x &amp; <i>.bin "_s;
        const QString source = test::writeFile(env->root() + u"in/"_s + name, content);
        const QDateTime modified(QDate(2024, 2, 29), QTime(23, 59, 58, 120));
        setModified(source, modified);

        const CheckInResult result = checkIn(*gcab, source);
        QCOMPARE(result.outcome, CheckInOutcome::Added);
        QCOMPARE(status.steps, (QStringList{compressingStatus(), addingStatus()}));
        QVERIFY(!QFile::exists(archive()));
        const QList<StoredFileLine> lines = listStoredFiles(*database, anna).value();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].counter, result.counter);
        QCOMPARE(lines[0].fileName, name);
        QCOMPARE(lines[0].size, qint64{300000});
        QCOMPARE(lines[0].compressedSize, result.bytes);
        QVERIFY(lines[0].compressedSize < 300000);
        QCOMPARE(lines[0].lastModified, modified);
        QBuffer elsewhere;  // another user's read
        elsewhere.open(QIODevice::WriteOnly);
        QCOMPARE(readStoredArchive(*database, bert, result.counter, elsewhere).value(), false);
        QVERIFY(elsewhere.data().isEmpty());

        // Checked out (the stored archive read back in chunks and unpacked), each file replaces
        // its namesake, longer than itself, and nothing else: the user's own archive stays.
        QVERIFY(storeFile(anna, u"report.txt"_s, "report") > 0);
        test::writeFile(dest() + u"Store.cab"_s, "my own cabinet");
        test::writeFile(dest() + u"report.txt"_s, "an older report, longer than the new one");
        status.steps.clear();
        const CheckOutReport out = checkOut(CheckOutKind::Files);
        QVERIFY(out.failed.isEmpty() && !out.failure);
        QCOMPARE(out.written, (QStringList{dest() + name, dest() + u"report.txt"_s}));
        QCOMPARE(read(dest() + name), content);
        QCOMPARE(QFileInfo(dest() + name).lastModified(), modified);
        QCOMPARE(read(dest() + u"report.txt"_s), QByteArray("report"));
        QCOMPARE(read(dest() + u"Store.cab"_s), QByteArray("my own cabinet"));
        QCOMPARE(entries(dest()), (QStringList{name, u"Store.cab"_s, u"report.txt"_s}));
        verifyNoStaging();
        QCOMPARE(status.steps, (QStringList{u"begin Exporting File "_s + name + u" ..."_s,
                                            u"Decompressing File "_s + name + u" ..."_s,
                                            u"Restoring File "_s + name + u" ..."_s,
                                            u"Exporting File report.txt ..."_s,
                                            u"Decompressing File report.txt ..."_s,
                                            u"Restoring File report.txt ..."_s, u"end"_s}));
    }

    void gcabFailuresAreReported() {
        const qint64 fine = storeFile(anna, u"fine.txt"_s, "fine");
        status.steps.clear();
        QTemporaryDir empty;
        env->setVariable("PATH", empty.path());
        QVERIFY(!gcab->available());
        const QString source = test::writeFile(env->root() + u"a.txt"_s, "abc");
        QCOMPARE(checkIn(*gcab, source).outcome, CheckInOutcome::CompressionFailed);
        QVERIFY(status.steps.isEmpty());  // nothing was run
        // Without it every file checked out is reported, with the reason.
        const CheckOutReport without = checkOut(CheckOutKind::Files, {fine});
        QCOMPARE(failedNames(without), QStringList{u"fine.txt"_s});
        QCOMPARE(without.failed[0].reason, u"the archiver gcab was not found"_s);
        QVERIFY(entries(dest()).isEmpty());
        verifyNoStaging();
        env->setVariable("PATH", u"/usr/bin:/bin"_s);

        // An archive that is not one, and a file that cannot be read.
        const QString bad = test::writeFile(env->root() + u"bad.cab"_s, "MSCF nonsense");
        QVERIFY(!gcab->extract(bad, env->root() + u"x"_s).ok);
        QFile::setPermissions(source, QFileDevice::WriteOwner);
        if (!QFileInfo(source).isReadable()) {  // the superuser reads every file
            QCOMPARE(checkIn(*gcab, source).outcome, CheckInOutcome::CompressionFailed);
        }
        QCOMPARE(checkIn(*gcab, env->root() + u"gone.txt"_s).outcome,
                 CheckInOutcome::CompressionFailed);
        QCOMPARE(names(anna), QStringList{u"fine.txt"_s});
        QVERIFY(!QFile::exists(archive()));
    }

    void archiveMustHoldExactlyThatFile() {
        // An archiver that leaves a foreign archive, or one of another size, is a failed one.
        const QString source = test::writeFile(env->root() + u"a.txt"_s, "abcdef");
        struct Wrong final : Archiver {
            QString name;
            qint64 size;  // below 0: says it made the archive but leaves none
            Wrong(const QString& n, qint64 s) : name(n), size(s) {}
            bool available() const override { return true; }
            ArchiverOutcome create(const QString& archive, const QString&) override {
                return {size < 0 || test::writeFakeCabinet(archive, name, size, 100), {}};
            }
            ArchiverOutcome extract(const QString&, const QString&) override { return {}; }
        };
        Wrong otherName(u"b.txt"_s, 6);
        QCOMPARE(checkIn(otherName, source).outcome, CheckInOutcome::CompressionFailed);
        Wrong otherSize(u"a.txt"_s, 7);
        QCOMPARE(checkIn(otherSize, source).outcome, CheckInOutcome::CompressionFailed);
        // Without a temporary folder nothing is packed anywhere else.
        test::FakeArchiver fakeElsewhere;
        QCOMPARE(checkInFile(*database, fakeElsewhere, status, {source, QString(), anna}).outcome,
                 CheckInOutcome::CompressionFailed);
        QVERIFY(fakeElsewhere.created.isEmpty());
        // A stale work archive of an earlier run is never taken for the new one.
        QVERIFY(test::writeFakeCabinet(archive(), u"a.txt"_s, 6, 100));
        Wrong silent(u"a.txt"_s, -1);
        QCOMPARE(checkIn(silent, source).outcome, CheckInOutcome::CompressionFailed);
        QVERIFY(names(anna).isEmpty());
    }

    void sizeLimitsAndDatabaseFailure() {
        test::FakeArchiver fake;
        // A file of 2 Gb or more is refused before the archiver runs; a sparse file is enough.
        QFile huge(env->root() + u"huge.bin"_s);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{1} << 31));
        huge.close();
        CheckInResult result = checkIn(fake, huge.fileName());
        QCOMPARE(result.outcome, CheckInOutcome::TooLargeToArchive);
        QCOMPARE(result.bytes, qint64{1} << 31);
        QVERIFY(fake.created.isEmpty());
        QVERIFY(status.steps.isEmpty());
        QVERIFY(huge.resize((qint64{1} << 31) - 1));
        fake.archiveBytes = kLargestStoredArchive + 1;
        result = checkIn(fake, huge.fileName());
        QCOMPARE(result.outcome, CheckInOutcome::OverLimit);
        QCOMPARE(result.bytes, qint64{125829121});
        QCOMPARE(fake.created, QStringList{huge.fileName()});
        QVERIFY(!QFile::exists(archive()));

        // A database that refuses the row adds nothing either.
        fake.archiveBytes = 1000;
        QVERIFY(test::breakFileInserts(*database));
        result = checkIn(fake, test::writeFile(env->root() + u"a.txt"_s, "abc"));
        QCOMPARE(result.outcome, CheckInOutcome::StoreFailed);
        QVERIFY(result.status.detail.contains(u"disk is full"_s));
        QVERIFY(!QFile::exists(archive()));
        QVERIFY(names(anna).isEmpty());
        // The work archive vanishing before it is stored is a failure too, with nothing added.
        QVERIFY(!addStoredFile(*database, anna, {u"a.txt"_s, 3, {}}, archive()).ok());
        QCOMPARE(test::countOf(database->open().value(), u"SELECT count(*) FROM Files"_s), 0);
    }

    void sameNamesDeletionAndOwners() {
        test::FakeArchiver fake;
        const QString source = test::writeFile(env->root() + u"a/same.txt"_s, "one");
        const qint64 first = checkIn(fake, source).counter;
        test::writeFile(source, "second");
        const qint64 second = checkIn(fake, source).counter;
        const qint64 berts = checkIn(fake, source, bert).counter;
        QVERIFY(first != second);
        QCOMPARE(names(anna), (QStringList{u"same.txt"_s, u"same.txt"_s}));
        QCOMPARE(listStoredFiles(*database, anna).value()[1].size, qint64{6});

        // Bert's key in Anna's deletion removes nothing.
        QCOMPARE(deleteStoredFiles(*database, anna, {berts}).value(), 0);
        QCOMPARE(deleteStoredFiles(*database, anna, {first}).value(), 1);
        QCOMPARE(listStoredFiles(*database, anna).value().first().counter, second);
        QCOMPARE(deleteStoredFiles(*database, anna, {first, second}).value(), 1);
        QVERIFY(names(anna).isEmpty());
        QCOMPARE(names(bert), QStringList{u"same.txt"_s});
    }
};

QTEST_GUILESS_MAIN(FileStoreTest)
#include "tst_file_store.moc"
