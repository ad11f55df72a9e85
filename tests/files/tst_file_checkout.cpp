// Check-out of stored files and pictures with the real gcab, and the launch of a stored file:
// what is written, under which names and dates, what never is, and why a file was not.
#include <QtTest>

#include <unistd.h>

#include "FileStoreFixture.h"
#include "SmallDisk.h"
#include "files/Launch.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

bool g_canMount = false;

}  // namespace

class FileCheckOutTest : public test::FileStoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { startFileStore(); }
    void cleanup() { endDatabase(); }

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
        const QByteArray big = test::mixedBytes(3 * 1024 * 1024 + 17);
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
        // A picture that finds no room is told the same way, and nothing of it stays.
        QVERIFY(storePicture(anna, u"pic.png"_s, QByteArray(64 * 1024, 'p')) > 0);
        out = checkOut(CheckOutKind::Images, {}, folder);
        QCOMPARE(failedNames(out), QStringList{u"pic.png"_s});
        QCOMPARE(out.failed[0].reason, u"No space left on device"_s);
        QCOMPARE(entries(folder), (QStringList{u"big.bin"_s, u"filler"_s}));
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
    FileCheckOutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_file_checkout.moc"
