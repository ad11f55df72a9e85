#include <QtTest>

#include "TestEnvironment.h"
#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "storage/FileServices.h"
#include "storage/Schema.h"

using namespace ks;

class DatabaseTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;

    // A fresh database copied from the template, as the first login makes it.
    QString freshDatabase(const QString& name = QStringLiteral("Data.mdb")) {
        const QString path = env->root() + name;
        QFile::copy(env->templatePath(), path);
        QFile::setPermissions(path, kPrivateFile);
        return path;
    }

    static qint64 count(Connection& connection, const QString& sql) {
        Statement query = connection.prepare(sql);
        return query.next() ? query.integer(0) : -1;
    }

private Q_SLOTS:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void templateHoldsOnlySharedCategories() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> connection = database.open();
        QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
        for (const QString& table :
             {QStringLiteral("Users"), QStringLiteral("Logins"), QStringLiteral("Journals"),
              QStringLiteral("Images"), QStringLiteral("Files")}) {
            QCOMPARE(count(connection.value(), QStringLiteral("SELECT count(*) FROM ") + table), 0);
        }
        Statement categories = connection->prepare(
            QStringLiteral("SELECT CategoryName, UserName FROM LoginsCategory ORDER BY Id"));
        QStringList names;
        while (categories.next()) {
            QCOMPARE(categories.text(1), QStringLiteral("GLOBAL"));
            names.append(categories.text(0));
        }
        QCOMPARE(names, sharedCategoryNames());
        QVERIFY(names.size() >= 4);
    }

    void fieldNamesIgnoreLetterCaseAndCountersComeFromTheDatabase() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> connection = database.open();
        QVERIFY(connection.ok());
        Statement insert = connection->prepare(
            QStringLiteral("INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"));
        insert.bind(1, QStringLiteral("a.png")).bindBlob(2, QByteArray("\x00\x01\xff", 3));
        insert.bind(3, QStringLiteral("C12F05C7"));
        QVERIFY(insert.run().ok());
        const qint64 first = connection->lastInsertId();
        insert.reset();
        insert.bind(1, QStringLiteral("b.png"))
            .bindBlob(2, QByteArray())
            .bind(3, QStringLiteral("X"));
        QVERIFY(insert.run().ok());
        QVERIFY(connection->lastInsertId() > first);

        Statement read = connection->prepare(
            QStringLiteral("SELECT UserName, Image FROM Images WHERE Counter = ?1"));
        read.bind(1, first);
        QVERIFY(read.next());
        QCOMPARE(read.text(0), QStringLiteral("C12F05C7"));
        QCOMPARE(read.blob(1), QByteArray("\x00\x01\xff", 3));
        QCOMPARE(count(connection.value(),
                       QStringLiteral(
                           "SELECT count(*) FROM LoginsCategory WHERE Categoryname = 'Work'")),
                 1);
    }

    void ownerIsolation() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> connection = database.open();
        QVERIFY(connection.ok());
        Statement insert = connection->prepare(QStringLiteral(
            "INSERT INTO Logins (KeyUserName, ShortName, Category) VALUES (?1, ?2, 'Unfiled')"));
        const QList<QPair<QString, QString>> rows = {
            {QStringLiteral("AA"), QStringLiteral("one")},
            {QStringLiteral("BB"), QStringLiteral("two")},
            {QStringLiteral("AA"), QStringLiteral("three")},
            {QStringLiteral("aa"), QStringLiteral("four")}};
        for (const auto& row : rows) {
            insert.reset();
            insert.bind(1, row.first).bind(2, row.second);
            QVERIFY(insert.run().ok());
        }
        Statement owned = selectOwned(connection.value(), QStringLiteral("Logins"),
                                      QStringLiteral("ShortName"), QStringLiteral("AA"));
        QStringList names;
        while (owned.next()) {
            names.append(owned.text(0));
        }
        // Owner values are compared exactly, in stored order.
        QCOMPARE(names, QStringList({QStringLiteral("one"), QStringLiteral("three")}));
        QCOMPARE(ownerColumn(QStringLiteral("Journals")), QStringLiteral("UserName"));
    }

    void foreignFilesAreErrorsNeverEmptyDatabases() {
        const QString good = freshDatabase();
        // Wrong key.
        {
            DatabaseAccess wrong(good, QStringLiteral("NotThePhrase"));
            QCOMPARE(wrong.open().status().code, DbCode::NotADatabase);
        }
        // Text, a 0-byte file, and a missing file (which must not be created).
        QFile text(env->root() + QStringLiteral("text.mdb"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(8192, 'k'));
        text.close();
        const DbStatus damaged = DatabaseAccess(text.fileName(), PassPhrase()).open().status();
        QCOMPARE(damaged.code, DbCode::NotADatabase);
        QFile empty(env->root() + QStringLiteral("empty.mdb"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const Result<Connection> fromEmpty = DatabaseAccess(empty.fileName(), PassPhrase()).open();
        QVERIFY(!fromEmpty.ok());
        const QString missing = env->root() + QStringLiteral("missing.mdb");
        QCOMPARE(DatabaseAccess(missing, PassPhrase()).open().status().code, DbCode::CannotOpen);
        QVERIFY(!QFile::exists(missing));
        // A database with the right key that is not ours.
        const QString other = env->root() + QStringLiteral("other.mdb");
        {
            Result<Connection> made = Connection::openFile(other, PassPhrase().toUtf8(), true);
            QVERIFY(made.ok());
            QVERIFY(made->exec(QStringLiteral("CREATE TABLE Something (x)")).ok());
        }
        const DbStatus foreign = DatabaseAccess(other, PassPhrase()).open().status();
        QCOMPARE(foreign.code, DbCode::MissingTables);
        // Each kind of failure is told in its own words.
        QCOMPARE(describeDatabaseStatus(foreign),
                 QStringLiteral("The database file is not a database of this program."));
        QCOMPARE(describeDatabaseStatus(damaged),
                 QStringLiteral("The database file is damaged or is not a database of this "
                                "program."));
    }

    void rawKeyMatchesThePassPhrase() {
        // The fast raw key and the plain pass phrase open the same file, and a copy made with
        // the source's salt opens with the pass phrase as well.
        const QString path = freshDatabase();
        Result<Connection> byPhrase = Connection::openFile(path, PassPhrase().toUtf8(), false);
        QVERIFY(byPhrase.ok());
        QVERIFY(verifyDatabase(byPhrase.value()).ok());
        const QByteArray salt = readSalt(path);
        QCOMPARE(salt.size(), 16);
        Result<Connection> byKey = Connection::openFile(path, rawKeyFor(PassPhrase(), salt), false);
        QVERIFY(byKey.ok());
        QVERIFY(verifyDatabase(byKey.value()).ok());
        QVERIFY(rawKeyWithSalt(PassPhrase(), salt).contains(salt.toHex().toUpper()));
    }

    void transactionsAreAllOrNothing() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> connection = database.open();
        QVERIFY(connection.ok());
        {
            Transaction transaction = connection->begin();
            QVERIFY(transaction.status().ok());
            QVERIFY(
                connection->exec(QStringLiteral("INSERT INTO Users (UserName) VALUES ('A')")).ok());
        }  // no commit: rolled back
        QCOMPARE(count(connection.value(), QStringLiteral("SELECT count(*) FROM Users")), 0);
        {
            Transaction transaction = connection->begin();
            QVERIFY(
                connection->exec(QStringLiteral("INSERT INTO Users (UserName) VALUES ('A')")).ok());
            QVERIFY(transaction.commit().ok());
        }
        QCOMPARE(count(connection.value(), QStringLiteral("SELECT count(*) FROM Users")), 1);
        // A failing statement reports the engine's words.
        const DbStatus bad = connection->exec(QStringLiteral("INSERT INTO NoSuchTable VALUES (1)"));
        QCOMPARE(bad.code, DbCode::Failed);
        QVERIFY(bad.detail.contains(QStringLiteral("NoSuchTable")));
    }

    void closeAllClosesEveryConnection() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> first = database.open();
        Result<Connection> second = database.open();
        QVERIFY(first.ok() && second.ok());
        Statement pending = first->prepare(QStringLiteral("SELECT UserName FROM Users"));
        QCOMPARE(database.openConnectionCount(), 2);
        database.CloseAllDatabaseObjects();
        QCOMPARE(database.openConnectionCount(), 0);
        QVERIFY(!first->isOpen() && !second->isOpen());
        QVERIFY(!pending.next());
        QCOMPARE(pending.status().code, DbCode::Closed);
        QCOMPARE(second->exec(QStringLiteral("SELECT 1")).code, DbCode::Closed);
        // The database opens again afterwards.
        QVERIFY(database.open().ok());
    }

    // One connection serves the session while nobody else holds it and the file is the same.
    void theSessionKeepsOneConnectionWhileTheFileStays() {
        const QString path = freshDatabase();
        DatabaseAccess database(path, PassPhrase());
        quint64 kept = 0;
        {
            Result<Connection> first = database.open();
            QVERIFY(first.ok());
            kept = first->changeStamp().connection;
            // Asked while in use: a connection of its own.
            Result<Connection> meanwhile = database.open();
            QVERIFY(meanwhile.ok() && meanwhile->changeStamp().connection != kept);
        }
        QCOMPARE(database.open()->changeStamp().connection, kept);
        QCOMPARE(database.openConnectionCount(), 1);

        // Another database (its own salt, so its own key) with one user.
        const auto otherDatabase = [&] {
            const QString other = env->root() + QStringLiteral("Other.mdb");
            Result<Connection> made = Connection::openFile(other, PassPhrase().toUtf8(), true);
            createSchema(made.value());
            made->exec(QStringLiteral("INSERT INTO Users (UserName, Password) VALUES ('a', 'b')"));
            return other;
        };
        // Written over in place, the same file keyed anew is opened afresh with its new key.
        {
            const QString other = otherDatabase();
            QVERIFY(readSalt(other) != readSalt(path));
            QFile source(other);
            QFile target(path);
            QVERIFY(source.open(QIODevice::ReadOnly) &&
                    target.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(target.write(source.readAll()) > 0);
            target.close();
            QVERIFY(QFile::remove(other));
            Result<Connection> rewritten = database.open();
            QVERIFY(rewritten.ok() && rewritten->changeStamp().connection != kept);
            kept = rewritten->changeStamp().connection;
            QCOMPARE(count(rewritten.value(), QStringLiteral("SELECT count(*) FROM Users")), 1);
        }

        // A file put in its place is opened afresh and its own rows are read.
        const QString other = otherDatabase();
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        Result<Connection> replaced = database.open();
        QVERIFY(replaced.ok() && replaced->changeStamp().connection != kept);
        QCOMPARE(count(replaced.value(), QStringLiteral("SELECT count(*) FROM Users")), 1);
        replaced = DbStatus{};

        // A file that is gone is reported, not read through the kept connection.
        QVERIFY(QFile::remove(path));
        QCOMPARE(database.open().status().code, DbCode::CannotOpen);
    }

    // Ending the operations closes what callers hold, and keeps only an idle session connection.
    void endingOperationsKeepsOnlyTheIdleSessionConnection() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        const quint64 session = database.open()->changeStamp().connection;
        Result<Connection> stray = database.open();
        QCOMPARE(stray->changeStamp().connection, session);
        Result<Connection> second = database.open();
        database.EndOperations();
        QVERIFY(!stray->isOpen() && !second->isOpen());
        QCOMPARE(database.openConnectionCount(), 0);
        stray = DbStatus{};
        const quint64 fresh = database.open()->changeStamp().connection;
        QVERIFY(fresh != session);
        database.EndOperations();
        QCOMPARE(database.openConnectionCount(), 1);
        QCOMPARE(database.open()->changeStamp().connection, fresh);
        database.CloseAllDatabaseObjects();
        QCOMPARE(database.openConnectionCount(), 0);
    }

    // The change stamp moves with every write, this connection's or another's, not with reads.
    void theChangeStampFollowsEveryWrite() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        DatabaseAccess other(database.path(), PassPhrase());
        Result<Connection> connection = database.open();
        const Connection::ChangeStamp start = connection->changeStamp();
        QCOMPARE(count(connection.value(), QStringLiteral("SELECT count(*) FROM Users")), 0);
        QCOMPARE(connection->changeStamp(), start);
        QVERIFY(
            other.open()
                ->exec(QStringLiteral("INSERT INTO Users (UserName, Password) VALUES ('a', 'b')"))
                .ok());
        const Connection::ChangeStamp afterOther = connection->changeStamp();
        QVERIFY(afterOther != start);
        QVERIFY(connection->exec(QStringLiteral("DELETE FROM Users")).ok());
        QVERIFY(connection->changeStamp() != afterOther);
    }

    // A database made before records were listed and searched from indexes gets them at its
    // first open, and a search of the records reads only its index.
    void olderDatabasesGetTheRecordIndexes() {
        const QString path = freshDatabase();
        {
            DatabaseAccess old(path, PassPhrase());
            QVERIFY(old.open()
                        ->exec(QStringLiteral("DROP INDEX LoginsListing; DROP INDEX LoginsSearch"))
                        .ok());
        }
        DatabaseAccess database(path, PassPhrase());
        Result<Connection> connection = database.open();
        QCOMPARE(count(connection.value(),
                       QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                                      "name IN ('LoginsListing', 'LoginsSearch')")),
                 2);
        Statement plan = connection->prepare(QStringLiteral(
            "EXPLAIN QUERY PLAN SELECT Counter, ShortName, UserName, Description FROM Logins "
            "WHERE KeyUserName = ?1 AND Counter > ?2 ORDER BY Counter LIMIT ?3"));
        QVERIFY(plan.next());
        QVERIFY2(plan.text(3).contains(QStringLiteral("COVERING INDEX LoginsSearch")),
                 qPrintable(plan.text(3)));
    }

    void aSecondWriterIsToldTheDatabaseIsBusy() {
        DatabaseAccess database(freshDatabase(), PassPhrase());
        Result<Connection> holder = database.open();
        Result<Connection> other = database.open();
        QVERIFY(holder.ok() && other.ok());
        Transaction held = holder->begin();
        QVERIFY(held.status().ok());
        QVERIFY(other->exec(QStringLiteral("PRAGMA busy_timeout = 50")).ok());
        Transaction blocked = other->begin();
        QCOMPARE(blocked.status().code, DbCode::Busy);
    }
};

QTEST_GUILESS_MAIN(DatabaseTest)
#include "tst_database.moc"
