// The file store with the real gcab and fake archivers: check-in, the list and its size texts,
// deletion and owners; check-out of files and pictures, and the launch of a stored file.
#include <QtTest>

#include <unistd.h>

#include "FilesTestSupport.h"
#include "SmallDisk.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CheckIn.h"
#include "files/CheckOut.h"
#include "files/FileMessages.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"
#include "files/Launch.h"
#include "files/SizeText.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Bytes that are partly compressible and partly not.
bool g_canMount = false;

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

    std::unique_ptr<GcabArchiver> gcab;
    test::RecordingStatus status;
    const QString anna = EncryptField(u"anna"_s);
    const QString bert = EncryptField(u"bert"_s);

    QString temp() const { return env->tempBase() + u"Keystead-test/"_s; }
    QString archive() const { return temp() + u"store.cab"_s; }
    QString dest() const { return env->root() + u"dest/"_s; }
    QString source(const QString& name, const QByteArray& bytes) {
        return test::writeFile(env->root() + u"in/"_s + name, bytes);
    }
    CheckInResult checkIn(Archiver& archiver, const QString& path, const QString& owner = {}) {
        return checkInFile(*database, archiver, status,
                           {path, archive(), owner.isEmpty() ? anna : owner});
    }
    qint64 storeFile(const QString& owner, const QString& name, const QByteArray& bytes) {
        const CheckInResult result = checkIn(*gcab, source(name, bytes), owner);
        return result.outcome == CheckInOutcome::Added ? result.counter : -1;
    }
    // Stores the archive at `archive` under `fileName` as it is, whatever it holds.
    qint64 storeArchive(const QString& owner, const QString& fileName, const QString& cabinet) {
        Result<qint64> counter = addStoredFile(*database, owner, {fileName, 1, {}}, cabinet);
        return counter.ok() ? counter.value() : -1;
    }
    QString gcabArchiveOf(const QString& name, const QByteArray& bytes) {
        const QString cabinet = env->root() + u"cabs/"_s + name + u".cab"_s;
        QDir().mkpath(env->root() + u"cabs"_s);
        return gcab->create(cabinet, source(name, bytes)).ok ? cabinet : QString();
    }
    QStringList names(const QString& owner) {
        QStringList out;
        const Result<QList<StoredFileLine>> lines = listStoredFiles(*database, owner);
        for (const StoredFileLine& line : lines.value()) {
            out.append(line.fileName);
        }
        return out;
    }
    // Checks out all of the owner's rows of `kind`, or only the selected ones when there are any.
    CheckOutReport checkOut(CheckOutKind kind, const QList<qint64>& selection = {},
                            const QString& folder = {}, const QString& owner = {}) {
        return CheckOutItems(
            *database, *gcab, status,
            {kind, selection.isEmpty(), selection, folder.isEmpty() ? dest() : folder,
             owner.isEmpty() ? anna : owner, temp()});
    }
    // Adds a picture row as it is, under any name (an imported database may hold anything).
    qint64 storePicture(const QString& owner, const QString& name, const QByteArray& bytes) {
        Result<Connection> connection = database->open();
        if (!connection.ok()) {
            return -1;
        }
        Statement insert = connection->prepare(
            u"INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"_s);
        insert.bind(1, name).bindBlob(2, bytes).bind(3, owner);
        return insert.run().ok() ? connection->lastInsertId() : -1;
    }
    static QByteArray read(const QString& path) { return test::readBytes(path, "<missing>"); }
    static QStringList failedNames(const CheckOutReport& report) {
        QStringList out;
        for (const NotCheckedOut& item : report.failed) {
            out.append(item.name);
        }
        return out;
    }
    static void setModified(const QString& path, const QDateTime& when) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) &&
                file.setFileTime(when, QFileDevice::FileModificationTime));
    }
    static QStringList entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    }
    // The temporary folder holds nothing but what the check-in left (nothing) and `allowed`.
    void verifyNoStaging(const QStringList& allowed = {}) { QCOMPARE(entries(temp()), allowed); }

private Q_SLOTS:
    void init() {
        startDatabase();
        gcab = std::make_unique<GcabArchiver>(env->appFolder());
        QVERIFY2(gcab->available(), "gcab must be installed");
        QVERIFY(QDir().mkpath(temp()) && QDir().mkpath(dest()));
        status.steps.clear();
    }
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
        const QByteArray content = mixedBytes(300000);
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

    void selectionAndOwnerDecideWhatIsWritten() {
        const qint64 a1 = storeFile(anna, u"a1.txt"_s, "1");
        const qint64 b1 = storeFile(bert, u"b1.txt"_s, "b");
        const qint64 a2 = storeFile(anna, u"a2.txt"_s, "2");
        const qint64 a3 = storeFile(anna, u"a3.txt"_s, "3");
        QVERIFY(a1 > 0 && b1 > 0 && a2 > 0 && a3 > 0);

        // Exactly the two selected rows; another user's Counter in the selection is no key.
        QVERIFY(checkOut(CheckOutKind::Files, {a3, a1, b1}).failed.isEmpty());
        QCOMPARE(entries(dest()), (QStringList{u"a1.txt"_s, u"a3.txt"_s}));
        // "All" is all of this user's rows, never another's.
        QVERIFY(checkOut(CheckOutKind::Files).failed.isEmpty());
        QCOMPARE(entries(dest()), (QStringList{u"a1.txt"_s, u"a2.txt"_s, u"a3.txt"_s}));
        // An owner without rows writes nothing and shows no status.
        status.steps.clear();
        const CheckOutReport none = checkOut(CheckOutKind::Files, {}, {}, EncryptField(u"cleo"_s));
        QVERIFY(none.written.isEmpty() && none.failed.isEmpty());
        QVERIFY(status.steps.isEmpty());
    }

    void picturesNeverOverwrite() {
        const QByteArray bytes("\x89PNG picture bytes\0\x01\x02", 22);
        QVERIFY(storePicture(anna, u"pic.png"_s, bytes) > 0);
        const qint64 last = storePicture(anna, u"pic.png"_s, bytes);
        QVERIFY(last > 0 && storePicture(bert, u"pic.png"_s, bytes) > 0);
        test::writeFile(dest() + u"pic.png"_s, "mine");
        test::writeFile(dest() + u"Copy of pic.png"_s, "my copy");
        // A dangling link under the next name is taken as well, never written through.
        QVERIFY(QFile::link(env->root() + u"nowhere"_s, dest() + u"Copy of Copy of pic.png"_s));

        const CheckOutReport result = checkOut(CheckOutKind::Images);
        QCOMPARE(result.written,
                 (QStringList{dest() + u"Copy of Copy of Copy of pic.png"_s,
                              dest() + u"Copy of Copy of Copy of Copy of pic.png"_s}));
        QCOMPARE(read(result.written.first()), bytes);
        QCOMPARE(read(dest() + u"pic.png"_s), QByteArray("mine"));
        QCOMPARE(read(dest() + u"Copy of pic.png"_s), QByteArray("my copy"));
        QVERIFY(!QFile::exists(env->root() + u"nowhere"_s));
        QCOMPARE(entries(dest()).size(), 5);  // no picture of bert's
        QCOMPARE(checkOut(CheckOutKind::Images, {last}).written.size(), 1);
    }

    void badNamesAndArchivesWriteNothingOutside() {
        // Stored names that are no plain file name, for files and pictures alike.
        const QString payload = gcabArchiveOf(u"x"_s, "payload");
        QVERIFY(!payload.isEmpty());
        const QStringList hostile = {u"../x"_s, u"a/b"_s, u".."_s, u""_s, u"."_s};
        for (const QString& name : hostile) {
            QVERIFY(storeArchive(anna, name, payload) > 0);
            QVERIFY(storePicture(anna, name, "pic") > 0);
        }
        // A cabinet whose one entry walks up ("../zy") or sits in a folder ("sub\y"), one whose
        // entry differs from the stored name, and a damaged one whose name the user already has.
        QDir().mkpath(env->root() + u"cabs/sub"_s);
        test::writeFile(env->root() + u"cabs/sub/y"_s, "deep");
        QProcess make;
        make.setWorkingDirectory(env->root() + u"cabs"_s);
        make.start(gcab->program(), {u"-c"_s, u"-z"_s, u"nested.cab"_s, u"sub/y"_s});
        QVERIFY(make.waitForFinished() && make.exitCode() == 0);
        QByteArray nested = read(env->root() + u"cabs/nested.cab"_s);
        QVERIFY(nested.contains("sub\\y"));
        const QString walking = test::writeFile(env->root() + u"cabs/walk.cab"_s,
                                                QByteArray(nested).replace("sub\\y", "../zy"));
        QVERIFY(storeArchive(anna, u"zy"_s, walking) > 0);
        QVERIFY(storeArchive(anna, u"y"_s, env->root() + u"cabs/nested.cab"_s) > 0);
        QVERIFY(storeArchive(anna, u"other"_s, payload) > 0);
        QByteArray archive = read(gcabArchiveOf(u"doc.txt"_s, QByteArray(200000, 'd')));
        archive[archive.size() - 100] = char(archive[archive.size() - 100] ^ 0x55);
        const QString damaged = test::writeFile(env->root() + u"cabs/damaged.cab"_s, archive);
        QVERIFY(storeArchive(anna, u"doc.txt"_s, damaged) > 0);
        QVERIFY(storeFile(anna, u"fine.txt"_s, "fine") > 0);
        test::writeFile(dest() + u"doc.txt"_s, "the user's own doc");

        // Each bad one is reported with its reason and the walk goes on; an earlier file of the
        // same name is no success and stays whole. The one file of an archive comes out under
        // the stored name, wherever the archive put it; nothing leaves the staging folder.
        const CheckOutReport files = checkOut(CheckOutKind::Files);
        QCOMPARE(failedNames(files), hostile + QStringList{u"doc.txt"_s});
        QCOMPARE(files.failed.first().reason, notAFileNameReason());
        QVERIFY(!files.failed.last().reason.isEmpty());
        QCOMPARE(files.written, (QStringList{dest() + u"zy"_s, dest() + u"y"_s, dest() + u"other"_s,
                                             dest() + u"fine.txt"_s}));
        QCOMPARE(read(dest() + u"zy"_s), QByteArray("deep"));
        QCOMPARE(read(dest() + u"other"_s), QByteArray("payload"));
        QCOMPARE(failedNames(checkOut(CheckOutKind::Images)), hostile);
        QCOMPARE(read(dest() + u"doc.txt"_s), QByteArray("the user's own doc"));
        QCOMPARE(entries(dest()),
                 (QStringList{u"doc.txt"_s, u"fine.txt"_s, u"other"_s, u"y"_s, u"zy"_s}));
        for (const char* outside : {"x", "a", "zy"}) {
            QVERIFY2(!QFile::exists(env->root() + QLatin1String(outside)), outside);
        }
        verifyNoStaging();
    }

    void everyNameComesBackWithItsDate() {
        // Names a Linux file system takes that the archiver reads otherwise ("\\" as a folder),
        // or a command line would ("-"), up to 255 bytes of UTF-8.
        const QStringList hostile = {u"back\\slash.txt"_s,
                                     u"a\\"_s,
                                     u"\\lead"_s,
                                     u"co:lon"_s,
                                     u"new\nline"_s,
                                     u"-dash"_s,
                                     u"--"_s,
                                     u" spaced "_s,
                                     QString(127, u'é') + u'x',
                                     u"..\\..\\up"_s};
        const QDateTime when(QDate(2021, 5, 6), QTime(7, 8, 9, 123));
        QList<qint64> counters;
        for (const QString& name : hostile) {
            const QString path = source(name, name.toUtf8() + QByteArray("\0tail", 5));
            setModified(path, when);
            const CheckInResult result = checkIn(*gcab, path);
            QCOMPARE(result.outcome, CheckInOutcome::Added);
            counters.append(result.counter);
        }
        QCOMPARE(names(anna), hostile);
        // Rows of older builds hold archives with the user's name inside, "\\" and all.
        const QString oldName = u"old\\style\\name.txt"_s;
        counters.append(storeArchive(anna, oldName, gcabArchiveOf(oldName, "old")));
        QVERIFY(counters.last() > 0);

        const CheckOutReport out = checkOut(CheckOutKind::Files);
        QCOMPARE(failedNames(out), QStringList());
        QCOMPARE(out.written.size(), hostile.size() + 1);
        for (const QString& name : hostile) {
            QCOMPARE(read(dest() + name), name.toUtf8() + QByteArray("\0tail", 5));
            QCOMPARE(QFileInfo(dest() + name).lastModified(), when);
        }
        QCOMPARE(read(dest() + oldName), QByteArray("old"));
        QCOMPARE(entries(dest()).size(), hostile.size() + 1);
        verifyNoStaging();

        // The launch takes the same way.
        const QString folder = launchFolder(temp(), u"Keystead"_s);
        for (qsizetype i = 0; i < counters.size(); ++i) {
            QList<QUrl> opened;
            const LaunchResult launched =
                LaunchStoredFile(*database, *gcab, status,
                                 {anna, temp(), u"Keystead"_s, counters[i]}, [&](const QUrl& url) {
                                     opened.append(url);
                                     return true;
                                 });
            QCOMPARE(launched.outcome, LaunchOutcome::Opened);
            const QString name = i < hostile.size() ? hostile[i] : oldName;
            QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + name)});
            QCOMPARE(entries(folder), QStringList{name});
        }
    }

    void failuresSayWhy() {
        // A stored name longer than a file name may be (an imported database can hold one).
        const QString tooLong = QString(300, u'n');
        const qint64 longRow = storeArchive(anna, tooLong, gcabArchiveOf(u"short"_s, "s"));
        CheckOutReport out = checkOut(CheckOutKind::Files, {longRow});
        QCOMPARE(failedNames(out), QStringList{tooLong});
        QCOMPARE(out.failed[0].reason, u"File name too long"_s);
        LaunchResult launched =
            LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, longRow}, {});
        QCOMPARE(launched.error, u"File name too long"_s);

        // A destination on a file system of its own: the file is copied across whole, and a
        // full disk is told as such, the older file left as it was.
        const QString disk = env->root() + u"small"_s;
        if (!g_canMount || !test::mountSmallDisk(disk, 4 << 20)) {
            QSKIP("this machine does not let the test mount a small file system");
        }
        const QString folder = disk + u'/';
        const QByteArray big = mixedBytes(3 * 1024 * 1024 + 17);
        const qint64 bigRow = storeFile(anna, u"big.bin"_s, big);
        test::writeFile(folder + u"big.bin"_s, "older");
        QCOMPARE(checkOut(CheckOutKind::Files, {bigRow}, folder).written,
                 QStringList{folder + u"big.bin"_s});
        QCOMPARE(read(folder + u"big.bin"_s), big);
        QVERIFY(QFile::remove(folder + u"big.bin"_s));
        test::writeFile(folder + u"big.bin"_s, "older");
        QVERIFY(test::fillDisk(disk, u"filler"_s));
        out = checkOut(CheckOutKind::Files, {bigRow}, folder);
        QCOMPARE(failedNames(out), QStringList{u"big.bin"_s});
        QCOMPARE(out.failed[0].reason, u"No space left on device"_s);
        QCOMPARE(read(folder + u"big.bin"_s), QByteArray("older"));
        QCOMPARE(entries(folder), (QStringList{u"big.bin"_s, u"filler"_s}));
        verifyNoStaging({u"Keystead"_s});
        test::unmountSmallDisk(disk);
    }

    void longPictureNamesAreShortenedBeforeTheirExtension() {
        const QString ascii = QString(247, u'p') + u".png"_s;   // 251 bytes
        const QString wide = QString(120, u'é') + u"😀.jpeg"_s;  // 249 bytes
        QVERIFY(storePicture(anna, ascii, "a") > 0 && storePicture(anna, wide, "w") > 0);
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(checkOut(CheckOutKind::Images).failed.size(), 0);
        }
        QStringList written = entries(dest());
        QCOMPARE(written.size(), 6);
        QVERIFY(written.contains(ascii) && written.contains(wide));
        QVERIFY(written.contains(u"Copy of "_s + QString(243, u'p') + u".png"_s));
        QVERIFY(written.contains(u"Copy of Copy of "_s + QString(235, u'p') + u".png"_s));
        // Shortened by whole characters: "é" is two bytes, the emoji four.
        QVERIFY(written.contains(u"Copy of "_s + QString(120, u'é') + u".jpeg"_s));
        QVERIFY(written.contains(u"Copy of Copy of "_s + QString(117, u'é') + u".jpeg"_s));
        QCOMPARE(fitFileName(QString(300, u'x')), QString(255, u'x'));
        QCOMPARE(fitFileName(u"a."_s + QString(300, u'x')), u"a."_s + QString(253, u'x'));
    }

    void unwritableDestinationIsReported() {
        QVERIFY(storeFile(anna, u"a.txt"_s, "a") > 0);
        QVERIFY(storePicture(anna, u"p.png"_s, "p") > 0);
        // A folder that is gone, a file in place of the folder, and (where permissions bind
        // this user) a folder without write permission: nothing is tried, for both kinds.
        test::writeFile(env->root() + u"plain"_s, "a file");
        QStringList unwritable{env->root() + u"gone"_s, env->root() + u"plain"_s};
        if (geteuid() != 0) {
            QDir().mkpath(env->root() + u"locked"_s);
            QFile::setPermissions(env->root() + u"locked"_s, QFile::ReadOwner | QFile::ExeOwner);
            unwritable.append(env->root() + u"locked"_s);
        }
        for (const QString& folder : unwritable) {
            for (CheckOutKind kind : {CheckOutKind::Files, CheckOutKind::Images}) {
                const CheckOutReport result = checkOut(kind, {}, folder);
                QVERIFY(result.destinationNotWritable);
                QVERIFY(result.written.isEmpty() && result.failed.isEmpty());
            }
        }
        QVERIFY(!QFile::exists(env->root() + u"gone"_s));
        QCOMPARE(read(env->root() + u"plain"_s), QByteArray("a file"));
        // The chosen folder given without its closing "/" is the same folder.
        QCOMPARE(checkOut(CheckOutKind::Images, {}, env->root() + u"dest"_s).written,
                 QStringList{dest() + u"p.png"_s});
    }

    void launchUsesAFreshLaunchFolder() {
        const qint64 first = storeFile(anna, u"first.txt"_s, "first");
        const qint64 second = storeFile(anna, u"second name.txt"_s, "second");
        const qint64 foreign = storeFile(bert, u"bert.txt"_s, "b");
        QList<QUrl> opened;
        const auto launch = [&](qint64 counter) {
            return LaunchStoredFile(*database, *gcab, status,
                                    {anna, temp(), u"Keystead"_s, counter}, [&](const QUrl& url) {
                                        opened.append(url);
                                        return true;
                                    });
        };
        const QString folder = launchFolder(temp(), u"Keystead"_s);

        QCOMPARE(launch(first).outcome, LaunchOutcome::Opened);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + u"first.txt"_s)});
        QCOMPARE(read(folder + u"first.txt"_s), QByteArray("first"));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        // The second launch empties the folder first.
        QCOMPARE(launch(second).outcome, LaunchOutcome::Opened);
        QCOMPARE(entries(folder), QStringList{u"second name.txt"_s});
        verifyNoStaging({u"Keystead"_s});

        // Another user's row and a failed check-out start nothing.
        opened.clear();
        LaunchResult result = launch(foreign);
        QCOMPARE(result.outcome, LaunchOutcome::CheckOutFailed);
        QVERIFY(result.fileName.isNull());
        const QString bad = test::writeFile(env->root() + u"bad.cab"_s, "MSCF not a cabinet");
        result = launch(storeArchive(anna, u"bad.txt"_s, bad));
        QCOMPARE(result.outcome, LaunchOutcome::CheckOutFailed);
        QCOMPARE(result.fileName, u"bad.txt"_s);
        QVERIFY(opened.isEmpty());
        QVERIFY(entries(folder).isEmpty());
    }
};

int main(int argc, char** argv) {
    g_canMount = test::enterPrivateMountNamespace();
    QCoreApplication application(argc, argv);
    FileStoreTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_file_store.moc"
