#include <QApplication>
#include <QtTest>

#include <sys/stat.h>

#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "storage/Compaction.h"
#include "storage/FileServices.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

bool g_canMount = false;

QString integrityOf(Connection& connection) {
    Statement check = connection.prepare(u"PRAGMA integrity_check"_s);
    return check.next() ? check.text(0) : check.status().detail;
}

// Every row of every table as quoted values (types included), plus the schema and counters.
QStringList dumpOf(Connection& connection) {
    QStringList dump;
    QStringList tables = allTableNames();
    tables << u"sqlite_master"_s << u"sqlite_sequence"_s;
    for (const QString& table : tables) {
        QStringList quoted;
        Statement info = connection.prepare(u"PRAGMA table_info(%1)"_s.arg(table));
        while (info.next()) {
            // Where a table or index starts in the file is the engine's to choose.
            if (info.text(1) != u"rootpage"_s) {
                quoted << u"quote(%1)"_s.arg(info.text(1));
            }
        }
        Statement rows = connection.prepare(
            u"SELECT %1 FROM %2 ORDER BY 1"_s.arg(quoted.join(u"||'|'||"_s), table));
        while (rows.next()) {
            dump << table + u':' + rows.text(0);
        }
        dump << table + u" read: "_s + rows.status().detail;
    }
    return dump;
}

Result<Connection> openWithPassPhrase(const QString& path) {
    Result<Connection> connection = Connection::openFile(path, PassPhrase().toUtf8(), false);
    if (connection.ok()) {
        if (DbStatus status = verifyDatabase(connection.value()); !status.ok()) {
            return status;
        }
    }
    return connection;
}

const QList<CompactionStep> kSteps = {CompactionStep::DiscardLeftover, CompactionStep::Open,
                                      CompactionStep::Vacuum, CompactionStep::Verify};

}  // namespace

// The database's compaction under faults: a full disk, a reader during compaction, a database
// in use, damaged or missing, a compaction failing at any step.
class StorageFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    QString database() const { return env->databasePath(); }
    void exec(const QString& path, const char* sql) {
        DatabaseAccess access(path, PassPhrase());
        Result<Connection> connection = access.open();
        QVERIFY(connection.ok());
        const DbStatus status = connection->exec(QString::fromLatin1(sql));
        QVERIFY2(status.ok(), qPrintable(status.detail));
    }
    QString output() const { return env->dataFolder() + u"OutputDB.mdb"_s; }
    bool noCopyLeft() const {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            if (QFileInfo::exists(output() + QLatin1String(suffix))) {
                return false;
            }
        }
        return true;
    }
    QStringList dump() {
        Result<Connection> connection = openWithPassPhrase(database());
        return connection.ok() ? dumpOf(connection.value()) : QStringList();
    }
    // A fresh database with rows in every table; the newest ones deleted again, so a compacted
    // copy that lost the counters would hand their keys out once more.
    void fillEveryTable() {
        env->freshDatabase();
        exec(
            database(),
            "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD'), ('EF', '01');"
            "INSERT INTO LoginsCategory (CategoryName, Username) VALUES ('Travel', 'AB');"
            "INSERT INTO Journals (UserName, Date, Journal) VALUES ('AB', '01/02/2024', 'C0FFEE');"
            "INSERT INTO Logins (KeyUserName, ShortName) VALUES ('AB', 'a'), ('AB', 'b'), "
            "('AB', 'c'), ('AB', 'd');"
            "INSERT INTO Files (FileName, UserName, Size, File) VALUES ('a.bin', 'AB', 4, "
            "x'000102FF'), ('gone.bin', 'AB', 9, zeroblob(20000));"
            "INSERT INTO Images (ImageName, Username, Image) VALUES ('p.png', 'AB', x'89504E47');"
            "DELETE FROM Logins WHERE Counter >= 3; DELETE FROM Files WHERE FileName = 'gone.bin'");
    }
private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QVERIFY(QDir().mkpath(env->dataFolder()));
    }
    void cleanup() { env.reset(); }

    void compactionKeepsRowsKeyCountersAndPrivacyAndGivesBackSpace() {
        fillEveryTable();
        exec(database(),
             "INSERT INTO Files (FileName, File) VALUES ('big', zeroblob(4194304));"
             "DELETE FROM Files WHERE FileName = 'big'");
        QVERIFY(QFileInfo(database()).size() > (4 << 20));
        const QStringList before = dump();
        QVERIFY(before.size() > 10);
        const QByteArray salt = readSalt(database());
        // A copy left over by an earlier run, with stale companions, is discarded first.
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            test::writeFile(output() + QLatin1String(suffix), QByteArray(10000, '\x5a'));
        }
        const mode_t oldMask = ::umask(022);  // a permissive umask must not leak into the file
        const CompactionOutcome outcome = compactDatabaseFile(database(), output(), PassPhrase());
        ::umask(oldMask);
        QVERIFY2(outcome.ok, qPrintable(describeCompaction(outcome)));
        QVERIFY(noCopyLeft());
        QVERIFY(QFileInfo(database()).size() < 256 * 1024);
        QCOMPARE(test::fileMode(database()), 0600);
        QCOMPARE(readSalt(database()), salt);
        QCOMPARE(dump(), before);  // opens with the plain pass phrase, every row identical
        QVERIFY(DatabaseAccess(database(), PassPhrase()).open().ok());
        // Keys of deleted rows are never handed out again.
        Result<Connection> connection = openWithPassPhrase(database());
        QVERIFY(connection->exec(u"INSERT INTO Logins (ShortName) VALUES ('e')"_s).ok());
        QCOMPARE(connection->lastInsertId(), qint64(5));
    }

    void compactionFailingAtAnyStepLeavesTheDatabaseAsItWas() {
        fillEveryTable();
        const QByteArray original = test::readBytes(database());
        const QStringList rows = dump();
        for (const CompactionStep step : kSteps) {
            QList<CompactionStep> reached;
            CompactionHooks hooks;
            hooks.failAt = [&reached, step](CompactionStep at) {
                reached.append(at);
                return at == step;
            };
            const CompactionOutcome outcome =
                compactDatabaseFile(database(), output(), PassPhrase(), hooks);
            const QString name = describeCompactionStep(step);
            QVERIFY2(!outcome.ok && outcome.failedAt == step, qPrintable(name));
            QCOMPARE(reached, kSteps.mid(0, kSteps.indexOf(step) + 1));
            // Up to the rewrite the file is untouched; a failed check after it still finds
            // every row as it was.
            if (step != CompactionStep::Verify) {
                QVERIFY2(test::readBytes(database()) == original, qPrintable(name));
            }
            QCOMPARE(dump(), rows);
            QVERIFY2(noCopyLeft(), qPrintable(name));
            QCOMPARE(describeCompaction(outcome),
                     u"The database could not be compacted (failed while %1). It "
                     "has been left as it was.\r\rThe database reported an "
                     "error.\r(failure injected for a test)"_s.arg(name));
            // The lock went with the failure: a writer gets in at once.
            Result<Connection> writer = openWithPassPhrase(database());
            QVERIFY(writer->exec(u"PRAGMA busy_timeout = 0"_s).ok());
            QVERIFY2(writer->begin().status().ok(), qPrintable(name));
        }
    }

    void compactionOfADatabaseInUseIsReportedAndKeepsItConsistent() {
        fillEveryTable();
        const QByteArray original = test::readBytes(database());
        CompactionHooks hooks;
        hooks.lockTimeoutMs = 50;
        {
            Result<Connection> other = openWithPassPhrase(database());
            Transaction writing = other->begin();
            QVERIFY(writing.status().ok());
            const CompactionOutcome outcome =
                compactDatabaseFile(database(), output(), PassPhrase(), hooks);
            QVERIFY(outcome.inUse());
            QCOMPARE(outcome.failedAt, CompactionStep::Vacuum);
            QCOMPARE(describeDatabaseStatus(outcome.status),
                     u"The database is in use by another program."_s);
            QCOMPARE(test::readBytes(database()), original);
            QVERIFY(noCopyLeft());
        }
        // The writer gone, the same compaction goes through.
        QVERIFY(compactDatabaseFile(database(), output(), PassPhrase(), hooks).ok);
    }

    void compactionOfADamagedForeignOrMissingDatabaseFailsCleanly() {
        fillEveryTable();
        exec(database(), "INSERT INTO Files (FileName, File) VALUES ('mid', zeroblob(262144))");
        QByteArray good = test::readBytes(database());
        const auto failsAt = [&](const QString& out, const QString& phrase) {
            const CompactionOutcome outcome = compactDatabaseFile(database(), out, phrase);
            return outcome.ok ? CompactionStep(-1) : outcome.failedAt;
        };
        QCOMPARE(failsAt(output(), u"wrong"_s), CompactionStep::Open);
        QCOMPARE(failsAt(database(), PassPhrase()), CompactionStep::DiscardLeftover);
        QCOMPARE(test::readBytes(database()), good);
        // No folder for a leftover copy: nothing to remove, the compaction goes on.
        QCOMPARE(failsAt(env->root() + u"missing/Out.mdb"_s, PassPhrase()), CompactionStep(-1));
        good = test::readBytes(database());

        QByteArray damaged = good;
        damaged.replace(damaged.size() / 2, 8192, QByteArray(8192, '\x33'));
        test::writeFile(database(), damaged);
        QVERIFY(failsAt(output(), PassPhrase()) != CompactionStep(-1));
        QCOMPARE(test::readBytes(database()), damaged);
        QVERIFY(noCopyLeft());

        QVERIFY(QFile::remove(database()));
        QCOMPARE(failsAt(output(), PassPhrase()), CompactionStep::Open);
        QVERIFY(!QFileInfo::exists(database()));
    }

    // Another process reading the database through a connection it keeps open sees no error
    // while this one compacts it again and again.
    void readerSeesNoErrorDuringCompaction() {
        env->freshDatabase();
        exec(database(),
             "INSERT INTO Users (UserName, Password) VALUES ('AB', 'CD');"
             "INSERT INTO Files (FileName, UserName, File) VALUES ('a', 'AB', zeroblob(300000));");
        QProcess reader;
        reader.start(QStringLiteral(FAULT_HELPER), {u"read"_s, database()});
        QVERIFY(reader.waitForReadyRead(10000));
        QCOMPARE(reader.readLine().trimmed(), QByteArray("ready"));
        const int compactions = 5;
        for (int i = 0; i < compactions; ++i) {
            exec(database(),
                 "INSERT INTO Logins (KeyUserName, ShortName) VALUES ('AB', 'x');"
                 "INSERT INTO Files (FileName, UserName, File) VALUES ('b', 'AB', "
                 "zeroblob(200000)); DELETE FROM Files WHERE FileName = 'b'");
            const CompactionOutcome outcome =
                compactDatabaseFile(database(), output(), PassPhrase());
            QVERIFY2(outcome.ok, qPrintable(describeCompaction(outcome)));
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
        QCOMPARE(test::leftoverFiles(folder, {u"Data.mdb"_s, u"Data.dat"_s, u"filler"_s}),
                 QStringList());
        QCOMPARE(test::readBytes(path), databaseBefore);

        // Space again: the same compaction succeeds.
        QVERIFY(QFile::remove(folder + u"filler"_s));
        QVERIFY(compactDatabaseFile(path, folder + u"OutputDB.mdb"_s, PassPhrase()).ok);
        test::unmountSmallDisk(disk);
    }
};

int main(int argc, char** argv) {
    g_canMount = test::enterPrivateMountNamespace();
    QApplication application(argc, argv);
    StorageFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storage_faults.moc"
