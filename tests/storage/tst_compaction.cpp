#include <sys/stat.h>
#include <QtTest>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/Compaction.h"
#include "storage/Database.h"
#include "storage/FileServices.h"
#include "storage/Schema.h"

using namespace ks;

namespace {

// Every row of every table (each value with its type), the schema and the row counters.
using Dump = QMap<QString, QList<QByteArrayList>>;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat facts {};
    return ::stat(QFile::encodeName(path).constData(), &facts) == 0 ? int(facts.st_mode & 07777)
                                                                    : -1;
}

QStringList columnsOf(Connection& connection, const QString& table) {
    QStringList columns;
    Statement info = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (info.next()) {
        columns.append(info.text(1));
    }
    return columns;
}

QList<QByteArrayList> rowsOf(Connection& connection, const QString& sql, int columns) {
    QList<QByteArrayList> rows;
    Statement query = connection.prepare(sql);
    while (query.next()) {
        QByteArrayList row;
        for (int column = 0; column < columns; ++column) {
            row.append(query.blob(column));
        }
        rows.append(row);
    }
    if (!query.status().ok()) {
        rows.append({QByteArray("read failed: ") + query.status().detail.toUtf8()});
    }
    return rows;
}

Dump dumpOf(Connection& connection) {
    Dump dump;
    for (const QString& table : schemaTableNames()) {
        QStringList selected;
        const QStringList columns = columnsOf(connection, table);
        for (const QString& column : columns) {
            selected << QStringLiteral("typeof(%1)").arg(column) << column;
        }
        dump.insert(table, rowsOf(connection,
                                  QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                      .arg(selected.join(QLatin1Char(',')), table),
                                  int(selected.size())));
    }
    dump.insert(QStringLiteral("sqlite_master"),
                rowsOf(connection,
                       QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master "
                                      "WHERE name NOT LIKE 'sqlite_autoindex%' ORDER BY name"),
                       4));
    dump.insert(QStringLiteral("sqlite_sequence"),
                rowsOf(connection,
                       QStringLiteral("SELECT name, seq FROM sqlite_sequence ORDER BY name"), 2));
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

qint64 insertLogin(Connection& connection, const QString& shortName) {
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO Logins (KeyUserName, ShortName, Notes, Category) VALUES ('AB', ?1, ?2, "
        "'Unfiled')"));
    insert.bind(1, shortName).bind(2, shortName.repeated(50));
    return insert.run().ok() ? connection.lastInsertId() : -1;
}

bool insertFile(Connection& connection, const QString& name, const QByteArray& content) {
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Files (FileName, UserName, Size, CompressedSize, LastModified,"
                       " File) VALUES (?1, 'AB', ?2, ?2, '2024-01-02T03:04:05', ?3)"));
    insert.bind(1, name).bind(2, qint64(content.size())).bindBlob(3, content);
    return insert.run().ok();
}

QList<CompactionStep> allSteps() {
    return {CompactionStep::DiscardLeftover, CompactionStep::Lock,  CompactionStep::Export,
            CompactionStep::Verify,          CompactionStep::Flush, CompactionStep::Replace};
}

}  // namespace

class CompactionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    QString database() const { return env->databasePath(); }
    QString output() const { return env->dataFolder() + QStringLiteral("OutputDB.mdb"); }

    bool noCopyLeft() const {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            if (QFileInfo::exists(output() + QLatin1String(suffix))) {
                return false;
            }
        }
        return true;
    }

    // The template plus rows in every table, some of them deleted again.
    void makeDatabase() {
        QVERIFY(QDir().mkpath(env->dataFolder()));
        QVERIFY(FileServices::CopyFile(env->templatePath(), database(), kPrivateFile).ok);
        Result<Connection> connection = openWithPassPhrase(database());
        QVERIFY(connection.ok());
        Connection& db = connection.value();
        QVERIFY(db.exec(QStringLiteral("INSERT INTO Users (UserName, Password) VALUES ('AB', "
                                       "'CD'), ('EF', '01')"))
                    .ok());
        QVERIFY(db.exec(QStringLiteral("INSERT INTO LoginsCategory (CategoryName, Username) "
                                       "VALUES ('Travel', 'AB'), ('Old', 'AB')"))
                    .ok());
        QVERIFY(db.exec(QStringLiteral(
                            "INSERT INTO Journals (UserName, Date, Journal, DateCreated, "
                            "LastModified) VALUES ('AB', '01/02/2024', 'C0FFEE', '01/02/2024', "
                            "'03/02/2024')"))
                    .ok());
        for (int i = 0; i < 5; ++i) {
            QVERIFY(insertLogin(db, QStringLiteral("record %1").arg(i)) > 0);
        }
        QVERIFY(insertFile(db, QStringLiteral("a.bin"), QByteArray("\x00\x01\x02\xff", 4)));
        QVERIFY(insertFile(db, QStringLiteral("gone.bin"), QByteArray(20000, 'x')));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO Images (ImageName, Username, Image) VALUES "
                                       "('p.png', 'AB', x'89504E47')"))
                    .ok());
        // The newest rows go, so a copy that forgot the counters would hand their keys out again.
        QVERIFY(db.exec(QStringLiteral("DELETE FROM Logins WHERE Counter >= 4")).ok());
        QVERIFY(db.exec(QStringLiteral("DELETE FROM Files WHERE FileName = 'gone.bin'")).ok());
        QVERIFY(
            db.exec(QStringLiteral("DELETE FROM LoginsCategory WHERE CategoryName = 'Old'")).ok());
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        makeDatabase();
    }
    void cleanup() { env.reset(); }

    void compactedDatabaseKeepsRowsKeyCountersAndPrivacy() {
        Dump before;
        {
            Result<Connection> connection = openWithPassPhrase(database());
            QVERIFY(connection.ok());
            before = dumpOf(connection.value());
        }
        QCOMPARE(before.value(QStringLiteral("Logins")).size(), 3);
        const QByteArray salt = readSalt(database());

        // A permissive umask must not leak into the new file.
        const mode_t oldMask = ::umask(022);
        const CompactionOutcome outcome = compactDatabaseFile(database(), output(), PassPhrase());
        ::umask(oldMask);
        QVERIFY2(outcome.ok, qPrintable(outcome.describe()));
        QCOMPARE(outcome.describe(), QStringLiteral("The database was compacted."));
        QVERIFY(noCopyLeft());
        QCOMPARE(modeOf(database()), 0600);
        QCOMPARE(readSalt(database()), salt);

        // The plain pass phrase still opens it, and so does the program's own access.
        Result<Connection> connection = openWithPassPhrase(database());
        QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
        const Dump after = dumpOf(connection.value());
        QCOMPARE(after.keys(), before.keys());
        for (const QString& table : before.keys()) {
            QCOMPARE(after.value(table), before.value(table));
        }
        DatabaseAccess access(database(), PassPhrase());
        QVERIFY(access.open().ok());

        // Keys of deleted rows are never handed out again.
        QCOMPARE(insertLogin(connection.value(), QStringLiteral("new")), qint64(6));
        QVERIFY(connection->exec(QStringLiteral("INSERT INTO Files (FileName) VALUES ('n')")).ok());
        QCOMPARE(connection->lastInsertId(), qint64(3));
    }

    void compactionGivesBackTheSpaceOfDeletedRows() {
        {
            Result<Connection> connection = openWithPassPhrase(database());
            QVERIFY(connection.ok());
            QVERIFY(insertFile(connection.value(), QStringLiteral("big.bin"),
                               QByteArray(4 << 20, 'z')));
            QVERIFY(connection
                        ->exec(QStringLiteral("DELETE FROM Files WHERE FileName = "
                                              "'big.bin'"))
                        .ok());
        }
        const qint64 before = QFileInfo(database()).size();
        QVERIFY(before > (4 << 20));
        const CompactionOutcome outcome = compactDatabaseFile(database(), output(), PassPhrase());
        QVERIFY2(outcome.ok, qPrintable(outcome.describe()));
        const qint64 after = QFileInfo(database()).size();
        QVERIFY2(after < 256 * 1024, qPrintable(QString::number(after)));
        QVERIFY(noCopyLeft());
    }

    void copyLeftFromAnEarlierRunIsDiscarded() {
        Dump before;
        {
            Result<Connection> connection = openWithPassPhrase(database());
            QVERIFY(connection.ok());
            before = dumpOf(connection.value());
        }
        // Garbage where the copy goes, and stale companion files of an earlier copy.
        for (const QString& path :
             {output(), output() + QStringLiteral("-journal"), output() + QStringLiteral("-wal"),
              output() + QStringLiteral("-shm")}) {
            QFile garbage(path);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write(QByteArray(10000, '\x5a'));
        }
        const CompactionOutcome outcome = compactDatabaseFile(database(), output(), PassPhrase());
        QVERIFY2(outcome.ok, qPrintable(outcome.describe()));
        QVERIFY(noCopyLeft());
        Result<Connection> connection = openWithPassPhrase(database());
        QVERIFY(connection.ok());
        QCOMPARE(dumpOf(connection.value()), before);

        // The copy is never written over the database itself.
        const QByteArray bytes = fileBytes(database());
        const CompactionOutcome same = compactDatabaseFile(database(), database(), PassPhrase());
        QVERIFY(!same.ok);
        QCOMPARE(same.failedAt, CompactionStep::DiscardLeftover);
        QCOMPARE(fileBytes(database()), bytes);
    }

    void failureAtAnyStepLeavesTheDatabaseAsItWas() {
        const QByteArray original = fileBytes(database());
        QVERIFY(!original.isEmpty());
        for (const CompactionStep step : allSteps()) {
            QList<CompactionStep> reached;
            CompactionHooks hooks;
            hooks.failAt = [&reached, step](CompactionStep at) {
                reached.append(at);
                return at == step;
            };
            const CompactionOutcome outcome =
                compactDatabaseFile(database(), output(), PassPhrase(), hooks);
            const QString name = describeCompactionStep(step);
            QVERIFY2(!outcome.ok, qPrintable(name));
            QCOMPARE(outcome.failedAt, step);
            QCOMPARE(reached, allSteps().mid(0, allSteps().indexOf(step) + 1));
            QVERIFY2(fileBytes(database()) == original, qPrintable(name));
            QCOMPARE(modeOf(database()), 0600);
            QVERIFY2(noCopyLeft(), qPrintable(name));
            QCOMPARE(outcome.describe(),
                     QStringLiteral("The database could not be compacted (failed while %1). It "
                                    "has been left as it was.\r\rThe database reported an "
                                    "error.\r(failure injected for a test)")
                         .arg(name));

            // The lock went with the failure: a writer gets in at once.
            Result<Connection> writer = openWithPassPhrase(database());
            QVERIFY(writer.ok());
            QVERIFY(writer->exec(QStringLiteral("PRAGMA busy_timeout = 0")).ok());
            Transaction transaction = writer->begin();
            QVERIFY2(transaction.status().ok(), qPrintable(name));
        }
        const CompactionOutcome outcome = compactDatabaseFile(database(), output(), PassPhrase());
        QVERIFY2(outcome.ok, qPrintable(outcome.describe()));
        QVERIFY(fileBytes(database()) != original);
    }

    void databaseInUseIsNeitherWaitedForForeverNorChanged() {
        const QByteArray original = fileBytes(database());
        CompactionHooks hooks;
        hooks.lockTimeoutMs = 50;
        {
            Result<Connection> other = openWithPassPhrase(database());
            QVERIFY(other.ok());
            Transaction writing = other->begin();
            QVERIFY(writing.status().ok());
            const CompactionOutcome outcome =
                compactDatabaseFile(database(), output(), PassPhrase(), hooks);
            QVERIFY(!outcome.ok);
            QVERIFY(outcome.inUse());
            QCOMPARE(outcome.failedAt, CompactionStep::Lock);
            QCOMPARE(outcome.status.describe(),
                     QStringLiteral("The database is in use by another program."));
            QCOMPARE(fileBytes(database()), original);
            QVERIFY(noCopyLeft());
        }

        // While a compaction runs, a second writer is kept out and its row never gets lost in
        // the replaced file.
        Result<Connection> other = openWithPassPhrase(database());
        QVERIFY(other.ok());
        QVERIFY(other->exec(QStringLiteral("PRAGMA busy_timeout = 0")).ok());
        DbStatus attempt;
        hooks.failAt = [&](CompactionStep step) {
            if (step == CompactionStep::Export) {
                attempt = other->exec(QStringLiteral("INSERT INTO Users (UserName) VALUES ('X')"));
            }
            return false;
        };
        const CompactionOutcome outcome =
            compactDatabaseFile(database(), output(), PassPhrase(), hooks);
        QVERIFY2(outcome.ok, qPrintable(outcome.describe()));
        QCOMPARE(attempt.code, DbCode::Busy);
        Result<Connection> after = openWithPassPhrase(database());
        QVERIFY(after.ok());
        Statement users = after->prepare(QStringLiteral("SELECT count(*) FROM Users"));
        QVERIFY(users.next());
        QCOMPARE(users.integer(0), qint64(2));
    }

    void damagedOrForeignDatabaseFailsCleanly() {
        {
            Result<Connection> connection = openWithPassPhrase(database());
            QVERIFY(connection.ok());
            QVERIFY(insertFile(connection.value(), QStringLiteral("mid.bin"),
                               QByteArray(256 * 1024, 'm')));
        }
        const QByteArray good = fileBytes(database());

        // A wrong pass phrase is not an empty database to copy.
        CompactionOutcome outcome = compactDatabaseFile(database(), output(), QStringLiteral("x"));
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.failedAt, CompactionStep::Lock);
        QCOMPARE(outcome.status.code, DbCode::NotADatabase);
        QCOMPARE(fileBytes(database()), good);
        QVERIFY(noCopyLeft());

        // A copy that cannot be written (its folder is missing) leaves everything as it was.
        const QString nowhere = env->root() + QStringLiteral("missing/OutputDB.mdb");
        outcome = compactDatabaseFile(database(), nowhere, PassPhrase());
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.failedAt, CompactionStep::Export);
        QCOMPARE(outcome.status.code, DbCode::CannotOpen);
        QCOMPARE(fileBytes(database()), good);

        // Garbage in the middle of the file.
        QByteArray damaged = good;
        damaged.replace(damaged.size() / 2, 8192, QByteArray(8192, '\x33'));
        {
            QFile file(database());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(damaged), damaged.size());
        }
        outcome = compactDatabaseFile(database(), output(), PassPhrase());
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.failedAt == CompactionStep::Lock ||
                outcome.failedAt == CompactionStep::Export ||
                outcome.failedAt == CompactionStep::Verify);
        QVERIFY(!outcome.status.ok());
        QCOMPARE(fileBytes(database()), damaged);
        QVERIFY(noCopyLeft());

        // No database at all: nothing is created in its place.
        QVERIFY(QFile::remove(database()));
        outcome = compactDatabaseFile(database(), output(), PassPhrase());
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.failedAt, CompactionStep::Lock);
        QVERIFY(!QFileInfo::exists(database()));
        QVERIFY(noCopyLeft());
    }
};

QTEST_GUILESS_MAIN(CompactionTest)
#include "tst_compaction.moc"
