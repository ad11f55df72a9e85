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

namespace {

bool g_canMount = false;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat facts {};
    return ::stat(QFile::encodeName(path).constData(), &facts) == 0 ? int(facts.st_mode & 07777)
                                                                    : -1;
}

QString integrityOf(Connection& connection) {
    Statement check = connection.prepare(QStringLiteral("PRAGMA integrity_check"));
    return check.next() ? check.text(0) : check.status().detail;
}

qint64 countOf(Connection& connection, const QString& sql) {
    Statement query = connection.prepare(sql);
    return query.next() ? query.integer(0) : -1;
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
    void makeDatabase(const QString& path) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        const FsResult copied = FileServices::CopyFile(env->templatePath(), path, kPrivateFile);
        QVERIFY2(copied.ok, qPrintable(copied.error));
    }
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
        setCipherDialogs(&dialogs, QStringLiteral("Keystead"));
        QVERIFY(QDir().mkpath(env->dataFolder()));
    }
    void cleanup() {
        setCipherDialogs(nullptr, QString());
        env.reset();
    }

    void failedSettingsWriteKeepsTheOldFileAndSaysWhy() {
        const QString folder = env->dataFolder();
        QVERIFY(writeSettings(folder, QStringLiteral("anna"), 2));
        const QByteArray before = fileBytes(settingsPath(folder));
        FsResult written;
        {
            const test::FileSizeLimit full(4);
            written = writeSettings(folder, QStringLiteral("bert"), 0);
        }
        QVERIFY(!written.ok);
        QVERIFY2(written.error.contains(QStringLiteral("File too large")),
                 qPrintable(written.error));
        QCOMPARE(fileBytes(settingsPath(folder)), before);
        QCOMPARE(leftovers(folder, {QStringLiteral("Data.dat")}), QStringList());
        // The policy writer keeps line 1.
        QVERIFY(writePolicyLine(folder, 0));
        QCOMPARE(fileBytes(settingsPath(folder)), QByteArray("anna\r\n0\r\n"));
        // No folder at all: reported, nothing made.
        QVERIFY(!writePolicyLine(env->root() + QStringLiteral("missing/"), 1));
    }

    void failedCopySaysWhyAndLeavesNothing() {
        const QString target = env->dataFolder() + QStringLiteral("Data.mdb");
        FsResult copied;
        {
            const test::FileSizeLimit full(1024);
            copied = FileServices::CopyFile(env->templatePath(), target, kPrivateFile);
        }
        QVERIFY(!copied.ok);
        QVERIFY2(copied.error.contains(QStringLiteral("File too large")), qPrintable(copied.error));
        QCOMPARE(leftovers(env->dataFolder(), {}), QStringList());
    }

    void dataFolderIsPrivateFromTheStart() {
        const mode_t oldMask = ::umask(0);
        const QString fresh = env->root() + QStringLiteral("data/new/Keystead/");
        const bool made = ensurePrivateFolder(fresh);
        ::umask(oldMask);
        QVERIFY(made);
        QCOMPARE(modeOf(fresh), 0700);
        // An existing folder of ours that others may enter is narrowed.
        const QString open = env->root() + QStringLiteral("data/open/");
        QVERIFY(QDir().mkpath(open));
        QVERIFY(::chmod(QFile::encodeName(open).constData(), 0777) == 0);
        QVERIFY(ensurePrivateFolder(open));
        QCOMPARE(modeOf(open), 0700);
    }

    // A writer killed at random moments never loses a write it reported and never damages the
    // database.
    void killedWriterLosesNothing() {
        makeDatabase(database());
        DatabaseAccess access(database(), PassPhrase());
        std::random_device seed;
        const unsigned seedValue = seed();
        std::mt19937 random(seedValue);
        std::uniform_int_distribution<int> delayMs(0, 40);
        QSet<QString> reported;
        qint64 next = 1;
        for (int kill = 0; kill < 50; ++kill) {
            QProcess child;
            child.start(helper(), {QStringLiteral("write"), database(), QString::number(next)});
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
            QCOMPARE(integrityOf(connection.value()), QStringLiteral("ok"));
            QSet<QString> stored;
            Statement dates = connection->prepare(QStringLiteral("SELECT Date FROM Journals"));
            while (dates.next()) {
                stored.insert(dates.text(0));
            }
            QVERIFY2(stored.contains(reported),
                     qPrintable(QStringLiteral("seed %1").arg(seedValue)));
            // Each step is one transaction: a record for every entry.
            QCOMPARE(countOf(connection.value(), QStringLiteral("SELECT count(*) FROM Logins")),
                     countOf(connection.value(), QStringLiteral("SELECT count(*) FROM Journals")));
            access.CloseAllDatabaseObjects();
        }
    }

    // Another process reading the database through a connection it keeps open sees no error
    // while this one compacts it again and again.
    void readerSeesNoErrorDuringCompaction() {
        makeDatabase(database());
        exec(database(),
             "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD');"
             "INSERT INTO Files (FileName, UserName, File) VALUES ('a', 'AB', zeroblob(300000));");
        QProcess reader;
        reader.start(helper(), {QStringLiteral("read"), database()});
        QVERIFY(reader.waitForReadyRead(10000));
        QCOMPARE(reader.readLine().trimmed(), QByteArray("ready"));
        int compactions = 0;
        while (compactions < 5) {
            exec(database(),
                 "INSERT INTO Logins (KeyUserName, ShortName) VALUES ('AB', 'x');"
                 "INSERT INTO Files (FileName, UserName, File) VALUES ('b', 'AB', "
                 "zeroblob(200000)); DELETE FROM Files WHERE FileName = 'b'");
            const CompactionOutcome outcome = compactDatabaseFile(
                database(), env->dataFolder() + QStringLiteral("OutputDB.mdb"), PassPhrase());
            QVERIFY2(outcome.ok, qPrintable(describeCompaction(outcome)));
            ++compactions;
        }
        reader.closeWriteChannel();
        QVERIFY(reader.waitForFinished(15000));
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), QString());
        QCOMPARE(reader.exitCode(), 0);
        DatabaseAccess access(database(), PassPhrase());
        Result<Connection> connection = access.open();
        QCOMPARE(integrityOf(connection.value()), QStringLiteral("ok"));
        QCOMPARE(countOf(connection.value(), QStringLiteral("SELECT count(*) FROM Logins")),
                 qint64(compactions));
    }

    // On a full disk every write fails, says that the disk is full and loses nothing.
    void fullDiskLosesNothingAndSaysSo() {
        const QString disk = env->root() + QStringLiteral("small");
        if (!g_canMount || !test::mountSmallDisk(disk, 2 << 20)) {
            QSKIP("this machine does not let the test mount a small file system");
        }
        const QString folder = disk + QLatin1Char('/');
        const QString path = folder + QStringLiteral("Data.mdb");
        makeDatabase(path);
        QVERIFY(writeSettings(folder, QStringLiteral("anna"), 1));
        exec(path,
             "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD');"
             "INSERT INTO Files (FileName, UserName, File) VALUES ('big', 'AB', "
             "zeroblob(600000)); DELETE FROM Files WHERE FileName = 'big'");
        const QByteArray settingsBefore = fileBytes(settingsPath(folder));
        const QByteArray databaseBefore = fileBytes(path);
        QVERIFY(test::fillDisk(disk, QStringLiteral("filler")));

        const FsResult settings = writeSettings(folder, QStringLiteral("bert"), 2);
        QVERIFY(settings.error.contains(QStringLiteral("No space left on device")));
        QCOMPARE(fileBytes(settingsPath(folder)), settingsBefore);

        const FsResult copied =
            FileServices::CopyFile(env->templatePath(), folder + QStringLiteral("Copy.mdb"));
        QVERIFY(copied.error.contains(QStringLiteral("No space left on device")));

        const CompactionOutcome compacted =
            compactDatabaseFile(path, folder + QStringLiteral("OutputDB.mdb"), PassPhrase());
        QVERIFY(!compacted.ok);
        QCOMPARE(compacted.status.code, DbCode::DiskFull);
        QVERIFY2(describeCompaction(compacted).contains(QStringLiteral("The disk is full.")),
                 qPrintable(describeCompaction(compacted)));
        {
            DatabaseAccess access(path, PassPhrase());
            WriteOperation write(access);
            const DbStatus inserted =
                write.ok() ? write.connection().exec(QStringLiteral(
                                 "INSERT INTO Logins (ShortName, Notes) VALUES ('x', "
                                 "hex(randomblob(200000)))"))
                           : write.status();
            QCOMPARE(inserted.code, DbCode::DiskFull);
        }
        QCOMPARE(leftovers(folder, {QStringLiteral("Data.mdb"), QStringLiteral("Data.dat"),
                                    QStringLiteral("filler")}),
                 QStringList());
        QCOMPARE(fileBytes(path), databaseBefore);

        // Space again: the same compaction succeeds and gives the space back.
        QVERIFY(QFile::remove(folder + QStringLiteral("filler")));
        QVERIFY(
            compactDatabaseFile(path, folder + QStringLiteral("OutputDB.mdb"), PassPhrase()).ok);
        QVERIFY(QFileInfo(path).size() < databaseBefore.size() / 2);
        {
            DatabaseAccess access(path, PassPhrase());
            Result<Connection> connection = access.open();
            QCOMPARE(integrityOf(connection.value()), QStringLiteral("ok"));
            QCOMPARE(countOf(connection.value(), QStringLiteral("SELECT count(*) FROM Users")),
                     qint64(1));
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
