// Check-out of stored files and pictures and the launch of a stored file, on the database with
// the real gcab: what reaches the destination, what never does, and what is left behind.
#include <QtTest>

#include <unistd.h>

#include "FilesTestSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/CheckIn.h"
#include "files/CheckOut.h"
#include "files/FileStore.h"
#include "files/GcabArchiver.h"
#include "files/Launch.h"

using namespace ks;
using namespace Qt::StringLiterals;

class CheckOutTest : public test::DatabaseTest {
    Q_OBJECT

    std::unique_ptr<GcabArchiver> gcab;
    test::RecordingStatus status;
    const QString anna = EncryptField(u"anna"_s);
    const QString bert = EncryptField(u"bert"_s);

    QString temp() const { return env->tempBase() + u"Keystead-test/"_s; }
    QString dest() const { return env->root() + u"dest/"_s; }
    QString source(const QString& name, const QByteArray& bytes) {
        return test::writeFile(env->root() + u"in/"_s + name, bytes);
    }
    qint64 storeFile(const QString& owner, const QString& name, const QByteArray& bytes) {
        const CheckInResult result = checkInFile(
            *database, *gcab, status, {source(name, bytes), temp() + u"store.cab"_s, owner});
        return result.outcome == CheckInOutcome::Added ? result.counter : -1;
    }
    // Stores the archive at `archive` under `fileName` as it is, whatever it holds.
    qint64 storeArchive(const QString& owner, const QString& fileName, const QString& archive) {
        Result<qint64> counter = addStoredFile(*database, owner, {fileName, 1, {}}, archive);
        return counter.ok() ? counter.value() : -1;
    }
    QString gcabArchiveOf(const QString& name, const QByteArray& bytes) {
        const QString archive = env->root() + u"cabs/"_s + name + u".cab"_s;
        QDir().mkpath(env->root() + u"cabs"_s);
        return gcab->create(archive, source(name, bytes)).ok ? archive : QString();
    }
    CheckOutReport checkOut(CheckOutKind kind, bool all, const QList<qint64>& selection,
                            const QString& owner = {}) {
        return CheckOutItems(
            *database, *gcab, status,
            {kind, all, selection, dest(), owner.isEmpty() ? anna : owner, temp()});
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

    void filesReplaceTheirNamesakeAndNothingElse() {
        const QByteArray report(300000, 'r');
        const QString oddName = u" Отчёт <b>x &amp; 名前 "_s;
        const qint64 first = storeFile(anna, u"report.txt"_s, report);
        const qint64 second = storeFile(anna, oddName, "odd");
        QVERIFY(first > 0 && second > 0);
        // The user's own archive and an earlier file of the same name are already there.
        test::writeFile(dest() + u"Store.cab"_s, "my own cabinet");
        test::writeFile(dest() + u"report.txt"_s, "an older report, longer than nothing");
        status.steps.clear();

        const CheckOutReport result = checkOut(CheckOutKind::Files, true, {});
        QVERIFY(result.failedNames.isEmpty() && !result.failure);
        QCOMPARE(result.written, (QStringList{dest() + u"report.txt"_s, dest() + oddName}));
        QCOMPARE(read(dest() + u"report.txt"_s), report);
        QCOMPARE(read(dest() + oddName), QByteArray("odd"));
        QCOMPARE(read(dest() + u"Store.cab"_s), QByteArray("my own cabinet"));
        QCOMPARE(entries(dest()), (QStringList{oddName, u"Store.cab"_s, u"report.txt"_s}));
        verifyNoStaging();
        QCOMPARE(status.steps, (QStringList{u"begin Exporting File report.txt ..."_s,
                                            u"Decompressing File report.txt ..."_s,
                                            u"Restoring File report.txt ..."_s,
                                            u"Exporting File "_s + oddName + u" ..."_s,
                                            u"Decompressing File "_s + oddName + u" ..."_s,
                                            u"Restoring File "_s + oddName + u" ..."_s, u"end"_s}));
    }

    void filesAcrossFileSystemsAreCopiedWhole() {
        // A destination on another file system than the temporary folder takes the copy route.
        if (!QFileInfo(u"/dev/shm"_s).isWritable() ||
            QStorageInfo(u"/dev/shm"_s).device() == QStorageInfo(temp()).device()) {
            QSKIP("no second writable file system");
        }
        QTemporaryDir other(u"/dev/shm/keystead-test-XXXXXX"_s);
        const QString folder = other.path() + u'/';
        const QByteArray big(3 * 1024 * 1024 + 17, 'b');
        QVERIFY(storeFile(anna, u"big.bin"_s, big) > 0);
        test::writeFile(folder + u"big.bin"_s, "older");
        const CheckOutReport result = CheckOutItems(
            *database, *gcab, status, {CheckOutKind::Files, true, {}, folder, anna, temp()});
        QCOMPARE(result.written, QStringList{folder + u"big.bin"_s});
        QCOMPARE(read(folder + u"big.bin"_s), big);
        QCOMPARE(entries(folder), QStringList{u"big.bin"_s});
        verifyNoStaging();
    }

    void selectionAndOwnerDecideWhatIsWritten() {
        const qint64 a1 = storeFile(anna, u"a1.txt"_s, "1");
        const qint64 b1 = storeFile(bert, u"b1.txt"_s, "b");
        const qint64 a2 = storeFile(anna, u"a2.txt"_s, "2");
        const qint64 a3 = storeFile(anna, u"a3.txt"_s, "3");
        QVERIFY(a1 > 0 && b1 > 0 && a2 > 0 && a3 > 0);

        // Exactly the two selected rows; another user's Counter in the selection is no key.
        QVERIFY(checkOut(CheckOutKind::Files, false, {a3, a1, b1}).failedNames.isEmpty());
        QCOMPARE(entries(dest()), (QStringList{u"a1.txt"_s, u"a3.txt"_s}));
        // "All" is all of this user's rows, never another's.
        QVERIFY(checkOut(CheckOutKind::Files, true, {}).failedNames.isEmpty());
        QCOMPARE(entries(dest()), (QStringList{u"a1.txt"_s, u"a2.txt"_s, u"a3.txt"_s}));
        // An owner without rows writes nothing and shows no status.
        status.steps.clear();
        const CheckOutReport none =
            checkOut(CheckOutKind::Files, true, {}, EncryptField(u"cleo"_s));
        QVERIFY(none.written.isEmpty() && none.failedNames.isEmpty());
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

        const CheckOutReport result = checkOut(CheckOutKind::Images, true, {});
        QCOMPARE(result.written,
                 (QStringList{dest() + u"Copy of Copy of Copy of pic.png"_s,
                              dest() + u"Copy of Copy of Copy of Copy of pic.png"_s}));
        QCOMPARE(read(result.written.first()), bytes);
        QCOMPARE(read(dest() + u"pic.png"_s), QByteArray("mine"));
        QCOMPARE(read(dest() + u"Copy of pic.png"_s), QByteArray("my copy"));
        QVERIFY(!QFile::exists(env->root() + u"nowhere"_s));
        QCOMPARE(entries(dest()).size(), 5);  // no picture of bert's

        // Only the selected one.
        QCOMPARE(checkOut(CheckOutKind::Images, false, {last}).written.size(), 1);
    }

    void hostileStoredNamesWriteNothingOutside() {
        const QString archive = gcabArchiveOf(u"x"_s, "payload");
        QVERIFY(!archive.isEmpty());
        const QStringList hostile = {u"../x"_s, u"a/b"_s, u".."_s, u""_s, u"."_s, u"a\\b"_s};
        for (const QString& name : hostile) {
            QVERIFY(storeArchive(anna, name, archive) > 0);
            QVERIFY(storePicture(anna, name, "pic") > 0);
        }
        const CheckOutReport files = checkOut(CheckOutKind::Files, true, {});
        QCOMPARE(files.failedNames, hostile);
        const CheckOutReport pictures = checkOut(CheckOutKind::Images, true, {});
        QCOMPARE(pictures.failedNames, hostile);
        QVERIFY(entries(dest()).isEmpty());
        QVERIFY(!QFile::exists(env->root() + u"x"_s));
        QVERIFY(!QFile::exists(env->root() + u"a"_s));
        verifyNoStaging();
    }

    void archiveMustHoldExactlyTheStoredName() {
        // A cabinet whose one entry walks up ("../zy") or sits in a folder ("sub\y"), and one
        // whose entry differs from the stored name: none is unpacked.
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
        QVERIFY(storeArchive(anna, u"other"_s, gcabArchiveOf(u"x"_s, "payload")) > 0);

        const CheckOutReport result = checkOut(CheckOutKind::Files, true, {});
        QCOMPARE(result.failedNames, (QStringList{u"zy"_s, u"y"_s, u"other"_s}));
        QVERIFY(entries(dest()).isEmpty());
        QVERIFY(!QFile::exists(env->root() + u"zy"_s));
        verifyNoStaging();
    }

    void damagedArchiveOrMissingArchiverLeavesTheEarlierFile() {
        QByteArray archive = read(gcabArchiveOf(u"doc.txt"_s, QByteArray(200000, 'd')));
        archive[archive.size() - 100] = char(archive[archive.size() - 100] ^ 0x55);
        const QString damaged = test::writeFile(env->root() + u"cabs/damaged.cab"_s, archive);
        QVERIFY(storeArchive(anna, u"doc.txt"_s, damaged) > 0);
        const qint64 fine = storeFile(anna, u"fine.txt"_s, "fine");
        test::writeFile(dest() + u"doc.txt"_s, "the user's own doc");

        // An earlier file of the same name is not success: the damaged row is reported, the
        // user's file stays whole, and the walk goes on.
        CheckOutReport result = checkOut(CheckOutKind::Files, true, {});
        QCOMPARE(result.failedNames, QStringList{u"doc.txt"_s});
        QCOMPARE(result.written, QStringList{dest() + u"fine.txt"_s});
        QCOMPARE(read(dest() + u"doc.txt"_s), QByteArray("the user's own doc"));
        QCOMPARE(entries(dest()), (QStringList{u"doc.txt"_s, u"fine.txt"_s}));
        verifyNoStaging();

        // Without the archiver every file is reported.
        QDir().mkpath(env->root() + u"nothing"_s);
        env->setVariable("PATH", env->root() + u"nothing"_s);
        GcabArchiver missing(env->appFolder());
        QVERIFY(!missing.available());
        QFile::remove(dest() + u"fine.txt"_s);
        result = CheckOutItems(*database, missing, status,
                               {CheckOutKind::Files, false, {fine}, dest(), anna, temp()});
        QCOMPARE(result.failedNames, QStringList{u"fine.txt"_s});
        QVERIFY(!QFile::exists(dest() + u"fine.txt"_s));
        verifyNoStaging();
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
                const CheckOutReport result =
                    CheckOutItems(*database, *gcab, status, {kind, true, {}, folder, anna, temp()});
                QVERIFY(result.destinationNotWritable);
                QVERIFY(result.written.isEmpty() && result.failedNames.isEmpty());
            }
        }
        QVERIFY(!QFile::exists(env->root() + u"gone"_s));
        QCOMPARE(read(env->root() + u"plain"_s), QByteArray("a file"));
        // The chosen folder given without its closing "/" is the same folder.
        QCOMPARE(
            CheckOutItems(*database, *gcab, status,
                          {CheckOutKind::Images, true, {}, env->root() + u"dest"_s, anna, temp()})
                .written,
            QStringList{dest() + u"p.png"_s});
    }

    void launchUsesAFreshLaunchFolder() {
        const qint64 first = storeFile(anna, u"first.txt"_s, "first");
        const qint64 second = storeFile(anna, u"second name.txt"_s, "second");
        const qint64 foreign = storeFile(bert, u"bert.txt"_s, "b");
        QList<QUrl> opened;
        const UrlOpener open = [&opened](const QUrl& url) {
            opened.append(url);
            return true;
        };
        const QString folder = launchFolder(temp(), u"Keystead"_s);
        QCOMPARE(folder, temp() + u"Keystead/"_s);

        LaunchResult result =
            LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, first}, open);
        QCOMPARE(result.outcome, LaunchOutcome::Opened);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder + u"first.txt"_s)});
        QCOMPARE(read(folder + u"first.txt"_s), QByteArray("first"));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        // The second launch empties the folder first.
        result =
            LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, second}, open);
        QCOMPARE(result.outcome, LaunchOutcome::Opened);
        QCOMPARE(entries(folder), QStringList{u"second name.txt"_s});
        verifyNoStaging({u"Keystead"_s});

        // Another user's row and a failed check-out start nothing.
        opened.clear();
        result = LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, foreign},
                                  open);
        QCOMPARE(result.outcome, LaunchOutcome::CheckOutFailed);
        QVERIFY(result.fileName.isNull());
        QVERIFY(storeArchive(anna, u"bad.txt"_s,
                             test::writeFile(env->root() + u"bad.cab"_s, "MSCF not a cabinet")) >
                0);
        const qint64 bad = listStoredFiles(*database, anna)->last().counter;
        result =
            LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, bad}, open);
        QCOMPARE(result.outcome, LaunchOutcome::CheckOutFailed);
        QCOMPARE(result.fileName, u"bad.txt"_s);
        QVERIFY(opened.isEmpty());
        QVERIFY(entries(folder).isEmpty());

        // A desktop without a program for the file: the file is there, the outcome says so.
        result = LaunchStoredFile(*database, *gcab, status, {anna, temp(), u"Keystead"_s, first},
                                  [](const QUrl&) { return false; });
        QCOMPARE(result.outcome, LaunchOutcome::NotOpened);
    }
};

QTEST_GUILESS_MAIN(CheckOutTest)
#include "tst_checkout.moc"
