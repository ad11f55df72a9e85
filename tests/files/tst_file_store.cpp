// The file store on the database: check-in through the real and a fake archiver, the list, the
// stored archive read back, deletion and owner isolation.
#include <QtTest>

#include "FilesTestSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CabinetListing.h"
#include "files/CheckIn.h"
#include "files/FileMessages.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Bytes that are partly compressible and partly not.
QByteArray mixedBytes(int size) {
    QByteArray bytes;
    bytes.reserve(size);
    quint32 state = 12345;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245 + 12345;
        bytes.append(i % 3 == 0 ? char(state >> 24) : char('a' + i % 7));
    }
    return bytes;
}

}  // namespace

class FileStoreTest : public test::DatabaseTest {
    Q_OBJECT

    const QString anna = EncryptField(u"anna"_s);
    const QString bert = EncryptField(u"bert"_s);

    QString archive() const { return env->tempBase() + u"store.cab"_s; }
    CheckInResult checkIn(Archiver& archiver, const QString& source, test::RecordingStatus& status,
                          const QString& owner) {
        return checkInFile(*database, archiver, status, {source, archive(), owner});
    }
    QStringList names(const QString& owner) {
        QStringList out;
        const Result<QList<StoredFileLine>> lines = listStoredFiles(*database, owner);
        for (const StoredFileLine& line : lines.value()) {
            out.append(line.fileName);
        }
        return out;
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void roundTripThroughGcab() {
        GcabArchiver gcab(env->appFolder());
        QVERIFY2(gcab.available(), "gcab must be installed");
        const QByteArray content = mixedBytes(300000);
        const QString name = u"Отчёт 名前 <b>x &amp; <i>.bin"_s;
        const QString source = test::writeFile(env->root() + u"in/"_s + name, content);
        const QDateTime modified(QDate(2024, 2, 29), QTime(23, 59, 58, 120));
        QFile touched(source);
        QVERIFY(touched.open(QIODevice::Append) &&
                touched.setFileTime(modified, QFileDevice::FileModificationTime));
        touched.close();
        test::RecordingStatus status;

        const CheckInResult result = checkIn(gcab, source, status, anna);
        QCOMPARE(int(result.outcome), int(CheckInOutcome::Added));
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

        // The stored archive, read back in chunks, unpacks to the same bytes under the bare name.
        const QString copy = env->root() + u"out/Store.cab"_s;
        QDir().mkpath(env->root() + u"out"_s);
        QFile out(copy);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(readStoredArchive(*database, anna, result.counter, out).value(), true);
        out.close();
        QCOMPARE(out.size(), result.bytes);
        QVERIFY(gcab.extract(copy, env->root() + u"unpacked"_s).ok);
        QCOMPARE(QDir(env->root() + u"unpacked"_s).entryList(QDir::Files), QStringList{name});
        QCOMPARE(test::readBytes(env->root() + u"unpacked/"_s + name, "<missing>"), content);

        // Another user can neither read it nor see it.
        QBuffer elsewhere;
        elsewhere.open(QIODevice::WriteOnly);
        QCOMPARE(readStoredArchive(*database, bert, result.counter, elsewhere).value(), false);
        QVERIFY(elsewhere.data().isEmpty());
        QVERIFY(names(bert).isEmpty());
    }

    void gcabFailuresAreReported() {
        GcabArchiver gcab(env->appFolder());
        QTemporaryDir empty;
        env->setVariable("PATH", empty.path());
        QVERIFY(!gcab.available());
        const QString source = test::writeFile(env->root() + u"a.txt"_s, "abc");
        test::RecordingStatus status;
        QCOMPARE(int(checkIn(gcab, source, status, anna).outcome),
                 int(CheckInOutcome::CompressionFailed));
        QVERIFY(status.steps.isEmpty());  // nothing was run
        QVERIFY(names(anna).isEmpty());
        env->setVariable("PATH", u"/usr/bin:/bin"_s);

        // An archive that is not one, and a file that cannot be read.
        const QString bad = test::writeFile(env->root() + u"bad.cab"_s, "MSCF nonsense");
        QVERIFY(!gcab.extract(bad, env->root() + u"x"_s).ok);
        QFile::setPermissions(source, QFileDevice::WriteOwner);
        if (!QFileInfo(source).isReadable()) {  // the superuser reads every file
            QCOMPARE(int(checkIn(gcab, source, status, anna).outcome),
                     int(CheckInOutcome::CompressionFailed));
        }
        QCOMPARE(int(checkIn(gcab, env->root() + u"gone.txt"_s, status, anna).outcome),
                 int(CheckInOutcome::CompressionFailed));
        QVERIFY(names(anna).isEmpty());
        QVERIFY(!QFile::exists(archive()));
    }

    void archiveMustHoldExactlyThatFile() {
        // An archiver that leaves a foreign archive, or one of another size, is a failed one.
        const QString source = test::writeFile(env->root() + u"a.txt"_s, "abcdef");
        test::RecordingStatus status;
        QVERIFY(test::writeFakeCabinet(env->root() + u"other.cab"_s, u"b.txt"_s, 6, 100));
        QCOMPARE(readCabinetEntries(env->root() + u"other.cab"_s)->first().name, u"b.txt"_s);
        struct Wrong final : Archiver {
            QString name;
            qint64 size = 0;
            bool available() const override { return true; }
            ArchiverOutcome create(const QString& archive, const QString&) override {
                return {test::writeFakeCabinet(archive, name, size, 100), {}};
            }
            ArchiverOutcome extract(const QString&, const QString&) override { return {}; }
        };
        // Without a temporary folder nothing is packed anywhere else.
        test::FakeArchiver fakeElsewhere;
        QCOMPARE(
            int(checkInFile(*database, fakeElsewhere, status, {source, QString(), anna}).outcome),
            int(CheckInOutcome::CompressionFailed));
        QVERIFY(fakeElsewhere.created.isEmpty());
        Wrong otherName;
        otherName.name = u"b.txt"_s;
        otherName.size = 6;
        QCOMPARE(int(checkIn(otherName, source, status, anna).outcome),
                 int(CheckInOutcome::CompressionFailed));
        Wrong otherSize;
        otherSize.name = u"a.txt"_s;
        otherSize.size = 7;
        QCOMPARE(int(checkIn(otherSize, source, status, anna).outcome),
                 int(CheckInOutcome::CompressionFailed));
        // A stale work archive of an earlier run is never taken for the new one.
        QVERIFY(test::writeFakeCabinet(archive(), u"a.txt"_s, 6, 100));
        struct Silent final : Archiver {
            bool available() const override { return true; }
            ArchiverOutcome create(const QString&, const QString&) override { return {true, {}}; }
            ArchiverOutcome extract(const QString&, const QString&) override { return {}; }
        } silent;
        QCOMPARE(int(checkIn(silent, source, status, anna).outcome),
                 int(CheckInOutcome::CompressionFailed));
        QVERIFY(names(anna).isEmpty());
    }

    void sizeLimits() {
        test::FakeArchiver fake;
        test::RecordingStatus status;
        // A file of 2 Gb or more is refused before the archiver runs; a sparse file is enough.
        QFile huge(env->root() + u"huge.bin"_s);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{1} << 31));
        huge.close();
        CheckInResult result = checkIn(fake, huge.fileName(), status, anna);
        QCOMPARE(int(result.outcome), int(CheckInOutcome::TooLargeToArchive));
        QCOMPARE(result.bytes, qint64{1} << 31);
        QVERIFY(fake.created.isEmpty());
        QVERIFY(status.steps.isEmpty());
        QVERIFY(huge.resize((qint64{1} << 31) - 1));
        fake.archiveBytes = kLargestStoredArchive + 1;
        result = checkIn(fake, huge.fileName(), status, anna);
        QCOMPARE(int(result.outcome), int(CheckInOutcome::OverLimit));
        QCOMPARE(result.bytes, qint64{125829121});
        QCOMPARE(fake.created, QStringList{huge.fileName()});
        QVERIFY(!QFile::exists(archive()));
        QVERIFY(names(anna).isEmpty());
    }

    void sameNamesDeletionAndOwners() {
        test::FakeArchiver fake;
        test::RecordingStatus status;
        const QString source = test::writeFile(env->root() + u"a/same.txt"_s, "one");
        const qint64 first = checkIn(fake, source, status, anna).counter;
        test::writeFile(source, "second");
        const qint64 second = checkIn(fake, source, status, anna).counter;
        const qint64 berts = checkIn(fake, source, status, bert).counter;
        QVERIFY(first != second);
        QCOMPARE(names(anna), (QStringList{u"same.txt"_s, u"same.txt"_s}));
        QCOMPARE(listStoredFiles(*database, anna).value()[1].size, qint64{6});

        // Bert's key in Anna's deletion removes nothing.
        QCOMPARE(deleteStoredFiles(*database, anna, {berts}).value(), 0);
        QCOMPARE(names(bert), QStringList{u"same.txt"_s});
        QCOMPARE(deleteStoredFiles(*database, anna, {first}).value(), 1);
        QCOMPARE(listStoredFiles(*database, anna).value().first().counter, second);
        QCOMPARE(deleteStoredFiles(*database, anna, {first, second}).value(), 1);
        QVERIFY(names(anna).isEmpty());
        QCOMPARE(names(bert), QStringList{u"same.txt"_s});
    }

    void databaseFailureAddsNothing() {
        test::FakeArchiver fake;
        test::RecordingStatus status;
        const QString source = test::writeFile(env->root() + u"a.txt"_s, "abc");
        QVERIFY(test::breakFileInserts(*database));
        const CheckInResult result = checkIn(fake, source, status, anna);
        QCOMPARE(int(result.outcome), int(CheckInOutcome::StoreFailed));
        QVERIFY(result.status.detail.contains(u"disk is full"_s));
        QVERIFY(!QFile::exists(archive()));
        QVERIFY(names(anna).isEmpty());

        // The work archive vanishing before it is stored is a failure too, with nothing added.
        QVERIFY(!addStoredFile(*database, anna, {u"a.txt"_s, 3, {}}, archive()).ok());
        QCOMPARE(test::countOf(database->open().value(), u"SELECT count(*) FROM Files"_s), 0);
    }
};

QTEST_GUILESS_MAIN(FileStoreTest)
#include "tst_file_store.moc"
