#include <QtTest>

#include <signal.h>
#include <sys/stat.h>
#include <random>

#include "ScriptedDialogs.h"
#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "core/DatabaseTexts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Compaction.h"
#include "storage/DataFolder.h"
#include "storage/FileServices.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

bool g_canMount = false;

QString integrityOf(Connection& connection) {
    Statement check = connection.prepare(u"PRAGMA integrity_check"_s);
    return check.next() ? check.text(0) : check.status().detail;
}

QString helper() {
    return QStringLiteral(FAULT_HELPER);
}

}  // namespace

class StorageFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;

    QString database() const { return env->databasePath(); }
    void exec(const QString& path, const char* sql) {
        DatabaseAccess access(path, PassPhrase());
        Result<Connection> connection = access.open();
        QVERIFY(connection.ok());
        const DbStatus status = connection->exec(QString::fromLatin1(sql));
        QVERIFY2(status.ok(), qPrintable(status.detail));
    }
    // Files of a folder other than the ones named: what a failed write left behind.
    static QStringList leftovers(const QString& folder, const QStringList& expected) {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : expected) {
            names.removeAll(name);
        }
        return names;
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        setCipherDialogs(&dialogs, u"Keystead"_s);
        QVERIFY(QDir().mkpath(env->dataFolder()));
    }
    void cleanup() {
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void failedSettingsWriteKeepsTheOldFileAndSaysWhy() {
        const QString folder = env->dataFolder();
        QVERIFY(writeSettings(folder, u"anna"_s, 2));
        const QByteArray before = test::readBytes(settingsPath(folder));
        FsResult written;
        {
            const test::FileSizeLimit full(4);
            written = writeSettings(folder, u"bert"_s, 0);
        }
        QVERIFY(!written.ok);
        QVERIFY2(written.error.contains(u"File too large"_s), qPrintable(written.error));
        QCOMPARE(test::readBytes(settingsPath(folder)), before);
        QCOMPARE(leftovers(folder, {u"Data.dat"_s}), QStringList());
        // The policy writer keeps line 1.
        QVERIFY(writePolicyLine(folder, 0));
        QCOMPARE(test::readBytes(settingsPath(folder)), QByteArray("anna\r\n0\r\n"));
        // No folder at all: reported, nothing made.
        QVERIFY(!writePolicyLine(env->root() + u"missing/"_s, 1));
    }

    void failedCopySaysWhyAndLeavesNothing() {
        const QString target = env->dataFolder() + u"Data.mdb"_s;
        FsResult copied;
        {
            const test::FileSizeLimit full(1024);
            copied = FileServices::CopyFile(env->templatePath(), target, kPrivateFile);
        }
        QVERIFY(!copied.ok);
        QVERIFY2(copied.error.contains(u"File too large"_s), qPrintable(copied.error));
        QCOMPARE(leftovers(env->dataFolder(), {}), QStringList());
    }

    void dataFolderIsPrivateFromTheStart() {
        const mode_t oldMask = ::umask(0);
        const QString fresh = env->root() + u"data/new/Keystead/"_s;
        const bool made = ensurePrivateFolder(fresh);
        ::umask(oldMask);
        QVERIFY(made);
        QCOMPARE(test::fileMode(fresh), 0700);
        // An existing folder of ours that others may enter is narrowed.
        const QString open = env->root() + u"data/open/"_s;
        QVERIFY(QDir().mkpath(open));
        QVERIFY(::chmod(QFile::encodeName(open).constData(), 0777) == 0);
        QVERIFY(ensurePrivateFolder(open));
        QCOMPARE(test::fileMode(open), 0700);
    }

    // A writer killed at random moments never loses a write it reported and never damages the
    // database.
    void killedWriterLosesNothing() {
        env->freshDatabase();
        DatabaseAccess access(database(), PassPhrase());
        std::random_device seed;
        const unsigned seedValue = seed();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 40);
        QSet<QString> reported;
        qint64 next = 1;
        for (int kill = 0; kill < 50; ++kill) {
            QProcess child;
            child.start(helper(), {u"write"_s, database(), QString::number(next)});
            // Killed at a random moment once it is writing (its first step is reported).
            QVERIFY(child.waitForReadyRead(20000));
            QThread::msleep(static_cast<unsigned long>(delayMs(random)));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
            for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
                bool isNumber = false;
                const qint64 step = line.toLongLong(&isNumber);
                QVERIFY2(isNumber || line.isEmpty(), line.constData());
                if (isNumber) {
                    reported.insert(QString::number(step));
                    next = std::max(next, step + 1);
                }
            }
            Result<Connection> connection = access.open();
            QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
            QCOMPARE(integrityOf(connection.value()), u"ok"_s);
            QSet<QString> stored;
            Statement dates = connection->prepare(u"SELECT Date FROM Journals"_s);
            while (dates.next()) {
                stored.insert(dates.text(0));
            }
            QVERIFY2(stored.contains(reported), qPrintable(u"seed %1"_s.arg(seedValue)));
            // Each step is one transaction: a record for every entry.
            QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Logins"_s),
                     test::countOf(connection.value(), u"SELECT count(*) FROM Journals"_s));
            access.CloseAllDatabaseObjects();
        }
    }

    // Another process reading the database through a connection it keeps open sees no error
    // while this one compacts it again and again.
    void readerSeesNoErrorDuringCompaction() {
        env->freshDatabase();
        exec(database(),
             "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD');"
             "INSERT INTO Files (FileName, UserName, File) VALUES ('a', 'AB', zeroblob(300000));");
        QProcess reader;
        reader.start(helper(), {u"read"_s, database()});
        QVERIFY(reader.waitForReadyRead(10000));
        QCOMPARE(reader.readLine().trimmed(), QByteArray("ready"));
        int compactions = 0;
        while (compactions < 5) {
            exec(database(),
                 "INSERT INTO Logins (KeyUserName, ShortName) VALUES ('AB', 'x');"
                 "INSERT INTO Files (FileName, UserName, File) VALUES ('b', 'AB', "
                 "zeroblob(200000)); DELETE FROM Files WHERE FileName = 'b'");
            const CompactionOutcome outcome = compactDatabaseFile(
                database(), env->dataFolder() + u"OutputDB.mdb"_s, PassPhrase());
            QVERIFY2(outcome.ok, qPrintable(describeCompaction(outcome)));
            ++compactions;
        }
        reader.closeWriteChannel();
        QVERIFY(reader.waitForFinished(15000));
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), QString());
        QCOMPARE(reader.exitCode(), 0);
        DatabaseAccess access(database(), PassPhrase());
        Result<Connection> connection = access.open();
        QCOMPARE(integrityOf(connection.value()), u"ok"_s);
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Logins"_s),
                 qint64(compactions));
    }

    // On a full disk every write fails, says that the disk is full and loses nothing.
    void fullDiskLosesNothingAndSaysSo() {
        const QString disk = env->root() + u"small"_s;
        if (!g_canMount || !test::mountSmallDisk(disk, 2 << 20)) {
            QSKIP("this machine does not let the test mount a small file system");
        }
        const QString folder = disk + u'/';
        const QString path = folder + u"Data.mdb"_s;
        env->freshDatabase(path);
        QVERIFY(writeSettings(folder, u"anna"_s, 1));
        exec(path,
             "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD');"
             "INSERT INTO Files (FileName, UserName, File) VALUES ('big', 'AB', "
             "zeroblob(600000)); DELETE FROM Files WHERE FileName = 'big'");
        const QByteArray settingsBefore = test::readBytes(settingsPath(folder));
        const QByteArray databaseBefore = test::readBytes(path);
        QVERIFY(test::fillDisk(disk, u"filler"_s));

        const FsResult settings = writeSettings(folder, u"bert"_s, 2);
        QVERIFY(settings.error.contains(u"No space left on device"_s));
        QCOMPARE(test::readBytes(settingsPath(folder)), settingsBefore);

        const FsResult copied = FileServices::CopyFile(env->templatePath(), folder + u"Copy.mdb"_s);
        QVERIFY(copied.error.contains(u"No space left on device"_s));

        const CompactionOutcome compacted =
            compactDatabaseFile(path, folder + u"OutputDB.mdb"_s, PassPhrase());
        QVERIFY(!compacted.ok);
        QCOMPARE(compacted.status.code, DbCode::DiskFull);
        QVERIFY2(describeCompaction(compacted).contains(u"The disk is full."_s),
                 qPrintable(describeCompaction(compacted)));
        {
            DatabaseAccess access(path, PassPhrase());
            WriteOperation write(access);
            const DbStatus inserted =
                write.ok() ? write.connection().exec(
                                 u"INSERT INTO Logins (ShortName, Notes) VALUES ('x', "
                                 "hex(randomblob(200000)))"_s)
                           : write.status();
            QCOMPARE(inserted.code, DbCode::DiskFull);
        }
        QCOMPARE(leftovers(folder, {u"Data.mdb"_s, u"Data.dat"_s, u"filler"_s}), QStringList());
        QCOMPARE(test::readBytes(path), databaseBefore);

        // Space again: the same compaction succeeds and gives the space back.
        QVERIFY(QFile::remove(folder + u"filler"_s));
        QVERIFY(compactDatabaseFile(path, folder + u"OutputDB.mdb"_s, PassPhrase()).ok);
        QVERIFY(QFileInfo(path).size() < databaseBefore.size() / 2);
        {
            DatabaseAccess access(path, PassPhrase());
            Result<Connection> connection = access.open();
            QCOMPARE(integrityOf(connection.value()), u"ok"_s);
            QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), qint64(1));
        }
        test::unmountSmallDisk(disk);
    }
};

int main(int argc, char** argv) {
    g_canMount = test::enterPrivateMountNamespace();
    QCoreApplication application(argc, argv);
    StorageFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storage_faults.moc"
