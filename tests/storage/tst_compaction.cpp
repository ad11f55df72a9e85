#include <QtTest>

#include <sys/stat.h>

#include "TestEnvironment.h"
#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "storage/Compaction.h"
#include "storage/FileServices.h"
#include "storage/Schema.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Every row of every table as quoted values (types included), plus the schema and counters.
QStringList dumpOf(Connection& connection) {
    QStringList dump;
    QStringList tables = schemaTableNames();
    tables << u"sqlite_master"_s << u"sqlite_sequence"_s;
    for (const QString& table : tables) {
        QStringList quoted;
        Statement info = connection.prepare(u"PRAGMA table_info(%1)"_s.arg(table));
        while (info.next()) {
            quoted << u"quote(%1)"_s.arg(info.text(1));
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

class CompactionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    QString database() const { return env->databasePath(); }
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
    void exec(const char* sql) {
        Result<Connection> connection = openWithPassPhrase(database());
        QVERIFY(connection.ok());
        const DbStatus status = connection->exec(QString::fromLatin1(sql));
        QVERIFY2(status.ok(), qPrintable(status.detail));
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        env->freshDatabase();
        // Rows in every table; the newest ones deleted again, so a copy that lost the counters
        // would hand their keys out once more.
        exec(
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
    void cleanup() { env.reset(); }

    void keepsRowsKeyCountersAndPrivacyAndGivesBackSpace() {
        exec(
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

    void failureAtAnyStepLeavesTheDatabaseAsItWas() {
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

    void databaseInUseIsReportedAndKeptConsistent() {
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

    void damagedForeignOrMissingDatabaseFailsCleanly() {
        exec("INSERT INTO Files (FileName, File) VALUES ('mid', zeroblob(262144))");
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
};

QTEST_GUILESS_MAIN(CompactionTest)
#include "tst_compaction.moc"
