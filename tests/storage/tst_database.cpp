#include <QtTest>

#include "TestEnvironment.h"
#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "storage/BlobStream.h"
#include "storage/Database.h"
#include "storage/FileServices.h"
#include "storage/Schema.h"

using namespace ks;
using namespace Qt::StringLiterals;

class DatabaseTest : public test::DatabaseTest {
    Q_OBJECT

    // Adds an Images row whose blob is `bytes`, written from a buffer of `available` of them.
    DbStatus addImage(const QByteArray& bytes, qint64 available, qint64& rowid) {
        WriteOperation write(*database);
        Statement insert = write.connection().prepare(
            u"INSERT INTO Images (ImageName, Image) VALUES ('x', zeroblob(?1))"_s);
        insert.bind(1, qint64(bytes.size()));
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
        rowid = write.connection().lastInsertId();
        QByteArray source = bytes.left(available);
        QBuffer buffer(&source);
        buffer.open(QIODevice::ReadOnly);
        const BlobPlace place{u"Images"_s, u"Image"_s, rowid};
        DbStatus status = writeBlobFromDevice(write.connection(), place, buffer, bytes.size());
        return status.ok() ? write.commit() : status;
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    // The template holds the shared categories only; rows come back by their database-given
    // counter, blobs byte for byte, and by their owner compared exactly, in stored order.
    void templateAndRowsReadBack() {
        Result<Connection> connection = database->open();
        QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
        for (const QString& table :
             {u"Users"_s, u"Logins"_s, u"Journals"_s, u"Images"_s, u"Files"_s}) {
            QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM "_s + table), 0);
        }
        Statement categories =
            connection->prepare(u"SELECT CategoryName, UserName FROM LoginsCategory ORDER BY Id"_s);
        QStringList names;
        while (categories.next()) {
            QCOMPARE(categories.text(1), u"GLOBAL"_s);
            names.append(categories.text(0));
        }
        QCOMPARE(names, sharedCategoryNames());

        Statement image = connection->prepare(
            u"INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"_s);
        image.bind(1, u"a.png"_s).bindBlob(2, QByteArray("\x00\x01\xff", 3));
        image.bind(3, u"C12F05C7"_s);
        QVERIFY(image.run().ok());
        const qint64 first = connection->lastInsertId();
        image.reset();
        image.bind(1, u"b.png"_s).bindBlob(2, QByteArray()).bind(3, u"X"_s);
        QVERIFY(image.run().ok());
        QVERIFY(connection->lastInsertId() > first);
        Statement read =
            connection->prepare(u"SELECT UserName, Image FROM Images WHERE Counter = ?1"_s);
        read.bind(1, first);
        QVERIFY(read.next());
        QCOMPARE(read.text(0), u"C12F05C7"_s);
        QCOMPARE(read.blob(1), QByteArray("\x00\x01\xff", 3));

        Statement login = connection->prepare(
            u"INSERT INTO Logins (KeyUserName, ShortName, Category) VALUES (?1, ?2, 'Unfiled')"_s);
        const QList<QPair<QString, QString>> rows = {
            {u"AA"_s, u"one"_s}, {u"BB"_s, u"two"_s}, {u"AA"_s, u"three"_s}, {u"aa"_s, u"four"_s}};
        for (const auto& row : rows) {
            login.reset();
            login.bind(1, row.first).bind(2, row.second);
            QVERIFY(login.run().ok());
        }
        Statement owned = selectOwned(connection.value(), u"Logins"_s, u"ShortName"_s, u"AA"_s);
        names.clear();
        while (owned.next()) {
            names.append(owned.text(0));
        }
        QCOMPARE(names, QStringList({u"one"_s, u"three"_s}));
    }

    void foreignFilesAreErrorsNeverEmptyDatabases() {
        const QString good = env->databasePath();
        QCOMPARE(DatabaseAccess(good, u"NotThePhrase"_s).open().status().code,
                 DbCode::NotADatabase);
        // Text, a 0-byte file, and a missing file (which must not be created).
        const QString text = test::writeFile(env->root() + u"text.mdb"_s, QByteArray(8192, 'k'));
        const DbStatus damaged = DatabaseAccess(text, PassPhrase()).open().status();
        QCOMPARE(damaged.code, DbCode::NotADatabase);
        const QString empty = test::writeFile(env->root() + u"empty.mdb"_s, {});
        const Result<Connection> fromEmpty = DatabaseAccess(empty, PassPhrase()).open();
        QVERIFY(!fromEmpty.ok());
        const QString missing = env->root() + u"missing.mdb"_s;
        QCOMPARE(DatabaseAccess(missing, PassPhrase()).open().status().code, DbCode::CannotOpen);
        QVERIFY(!QFile::exists(missing));
        // A database with the right key that is not ours.
        const QString other = env->root() + u"other.mdb"_s;
        {
            Result<Connection> made = Connection::openFile(other, PassPhrase().toUtf8(), true);
            QVERIFY(made.ok());
            QVERIFY(made->exec(u"CREATE TABLE Something (x)"_s).ok());
        }
        const DbStatus foreign = DatabaseAccess(other, PassPhrase()).open().status();
        QCOMPARE(foreign.code, DbCode::MissingTables);
        // Each kind of failure is told in its own words.
        QCOMPARE(describeDatabaseStatus(foreign),
                 u"The database file is not a database of this program."_s);
        QCOMPARE(describeDatabaseStatus(damaged),
                 u"The database file is damaged or is not a database of this "
                 "program."_s);
    }

    void rawKeyMatchesThePassPhrase() {
        // The fast raw key and the plain pass phrase open the same file.
        const QString path = env->databasePath();
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
        Result<Connection> connection = database->open();
        QVERIFY(connection.ok());
        {
            Transaction transaction = connection->begin();
            QVERIFY(transaction.status().ok());
            QVERIFY(connection->exec(u"INSERT INTO Users (UserName) VALUES ('A')"_s).ok());
        }  // no commit: rolled back
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), 0);
        {
            Transaction transaction = connection->begin();
            QVERIFY(connection->exec(u"INSERT INTO Users (UserName) VALUES ('A')"_s).ok());
            QVERIFY(transaction.commit().ok());
        }
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), 1);
        // A failing statement reports the engine's words.
        const DbStatus bad = connection->exec(u"INSERT INTO NoSuchTable VALUES (1)"_s);
        QCOMPARE(bad.code, DbCode::Failed);
        QVERIFY(bad.detail.contains(u"NoSuchTable"_s));
        // While one writes, a second writer is told the database is busy.
        Result<Connection> other = database->open();
        Transaction held = connection->begin();
        QVERIFY(held.status().ok());
        QVERIFY(other->exec(u"PRAGMA busy_timeout = 50"_s).ok());
        QCOMPARE(other->begin().status().code, DbCode::Busy);
    }

    // One connection serves the session while nobody else holds it and the file is the same.
    void theSessionKeepsOneConnectionWhileTheFileStays() {
        const QString path = env->databasePath();
        quint64 kept = 0;
        {
            Result<Connection> first = database->open();
            QVERIFY(first.ok());
            kept = first->changeStamp().connection;
            // Asked while in use: a connection of its own.
            Result<Connection> meanwhile = database->open();
            QVERIFY(meanwhile.ok() && meanwhile->changeStamp().connection != kept);
        }
        QCOMPARE(database->open()->changeStamp().connection, kept);
        QCOMPARE(database->openConnectionCount(), 1);

        // Another database (its own salt, so its own key) with one user.
        const auto otherDatabase = [&] {
            const QString other = env->root() + u"Other.mdb"_s;
            Result<Connection> made = Connection::openFile(other, PassPhrase().toUtf8(), true);
            createSchema(made.value());
            made->exec(u"INSERT INTO Users (UserName, Password) VALUES ('a', 'b')"_s);
            return other;
        };
        // Written over in place, the same file keyed anew is opened afresh with its new key.
        {
            const QString other = otherDatabase();
            QVERIFY(readSalt(other) != readSalt(path));
            test::writeFile(path, test::readBytes(other));
            QVERIFY(QFile::remove(other));
            Result<Connection> rewritten = database->open();
            QVERIFY(rewritten.ok() && rewritten->changeStamp().connection != kept);
            kept = rewritten->changeStamp().connection;
            QCOMPARE(test::countOf(rewritten.value(), u"SELECT count(*) FROM Users"_s), 1);
        }

        // A file put in its place is opened afresh and its own rows are read.
        const QString other = otherDatabase();
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        Result<Connection> replaced = database->open();
        QVERIFY(replaced.ok() && replaced->changeStamp().connection != kept);
        QCOMPARE(test::countOf(replaced.value(), u"SELECT count(*) FROM Users"_s), 1);
        replaced = DbStatus{};

        // A file that is gone is reported, not read through the kept connection.
        QVERIFY(QFile::remove(path));
        QCOMPARE(database->open().status().code, DbCode::CannotOpen);
    }

    // Ending the operations closes what callers hold and keeps only an idle session
    // connection; closing all closes that too, and what was prepared on it fails as closed.
    void endingOperationsAndClosingAll() {
        const quint64 session = database->open()->changeStamp().connection;
        Result<Connection> stray = database->open();
        Result<Connection> second = database->open();
        database->EndOperations();
        QVERIFY(!stray->isOpen() && !second->isOpen());
        QCOMPARE(database->openConnectionCount(), 0);
        stray = DbStatus{};
        const quint64 fresh = database->open()->changeStamp().connection;
        QVERIFY(fresh != session);
        database->EndOperations();
        QCOMPARE(database->openConnectionCount(), 1);
        Result<Connection> first = database->open();
        QCOMPARE(first->changeStamp().connection, fresh);
        second = database->open();
        Statement pending = first->prepare(u"SELECT UserName FROM Users"_s);
        QCOMPARE(database->openConnectionCount(), 2);
        database->CloseAllDatabaseObjects();
        QCOMPARE(database->openConnectionCount(), 0);
        QVERIFY(!first->isOpen() && !second->isOpen());
        QVERIFY(!pending.next());
        QCOMPARE(pending.status().code, DbCode::Closed);
        QCOMPARE(second->exec(u"SELECT 1"_s).code, DbCode::Closed);
        QVERIFY(database->open().ok());
    }

    // A kept statement comes back reset and unbound for its text, holds no lock once let go
    // (another connection writes, the file is compacted), is a second, own statement while the
    // first is in use, and is gone with its connection.
    void keptStatementsAreReusedSafely() {
        Result<Connection> connection = database->open();
        QVERIFY(connection
                    ->exec(u"INSERT INTO Users (UserName, Password) VALUES ('a', '1'), "
                           "('b', '2')"_s)
                    .ok());
        const QString byName = u"SELECT Password FROM Users WHERE UserName = ?1"_s;
        const auto passwordOf = [&](const QString& name) {
            Statement query = connection->prepareKept(byName);
            query.bind(1, name);
            return query.next() ? query.text(0) : u"none"_s;
        };
        QCOMPARE(passwordOf(u"a"_s), u"1"_s);
        {
            // Let go in the middle of its rows, with its parameter bound.
            Statement all = connection->prepareKept(u"SELECT UserName FROM Users WHERE ?1"_s);
            all.bind(1, qint64(1));
            QVERIFY(all.next());
        }
        Statement unbound = connection->prepareKept(u"SELECT UserName FROM Users WHERE ?1"_s);
        QVERIFY(!unbound.next() && unbound.status().ok());
        DatabaseAccess other(database->path(), PassPhrase());
        QVERIFY(other.open()->exec(u"UPDATE Users SET Password = '3' WHERE UserName = 'a'"_s).ok());
        QVERIFY(connection->exec(u"VACUUM"_s).ok());
        QCOMPARE(passwordOf(u"a"_s), u"3"_s);
        {
            Statement outer = connection->prepareKept(byName);
            outer.bind(1, u"b"_s);
            QVERIFY(outer.next());
            QCOMPARE(passwordOf(u"a"_s), u"3"_s);
            QCOMPARE(outer.text(0), u"2"_s);
        }
        QCOMPARE(passwordOf(u"nobody"_s), u"none"_s);
        database->CloseAllDatabaseObjects();
        Statement closed = connection->prepareKept(byName);
        QVERIFY(!closed.next());
        QCOMPARE(closed.status().code, DbCode::Closed);
    }

    // The change stamp moves with every write, this connection's or another's, not with reads.
    void theChangeStampFollowsEveryWrite() {
        DatabaseAccess other(database->path(), PassPhrase());
        Result<Connection> connection = database->open();
        const Connection::ChangeStamp start = connection->changeStamp();
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), 0);
        QCOMPARE(connection->changeStamp(), start);
        QVERIFY(
            other.open()->exec(u"INSERT INTO Users (UserName, Password) VALUES ('a', 'b')"_s).ok());
        const Connection::ChangeStamp afterOther = connection->changeStamp();
        QVERIFY(afterOther != start);
        QVERIFY(connection->exec(u"DELETE FROM Users"_s).ok());
        QVERIFY(connection->changeStamp() != afterOther);
    }

    // A database of the first builds (no record indexes, account names not unique, and here
    // two accounts of one name) is read as it is by a reader, which writes nothing and asks for
    // the upgrade; the program's own first open brings it up to date as far as its rows allow,
    // and a search of the records then reads only its index.
    void olderDatabasesAreUpgradedOnlyByTheProgram() {
        const QString path = env->databasePath();
        {
            DatabaseAccess old(path, PassPhrase());
            QVERIFY(old.open()
                        ->exec(u"DROP INDEX LoginsListing; DROP INDEX LoginsSearch; DROP INDEX "
                               "UsersByName; CREATE INDEX UsersByName ON Users (UserName); INSERT "
                               "INTO Users (UserName) VALUES ('AB'), ('AB')"_s)
                        .ok());
        }
        const QByteArray before = test::readBytes(path);
        const DbStatus reading =
            DatabaseAccess(path, PassPhrase(), DatabaseAccess::Mode::ReadOnly).open().status();
        QCOMPARE(reading.code, DbCode::NeedsUpgrade);
        QVERIFY2(reading.detail.contains(u"the index LoginsListing is missing"_s),
                 qPrintable(reading.detail));
        QCOMPARE(test::readBytes(path), before);

        Result<Connection> connection = database->open();
        QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
        QCOMPARE(test::countOf(connection.value(),
                               u"SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                               "name IN ('LoginsListing', 'LoginsSearch')"_s),
                 2);
        QCOMPARE(test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s), 2);
        Statement plan = connection->prepare(
            u"EXPLAIN QUERY PLAN SELECT Counter, ShortName, UserName, Description FROM Logins "
            "WHERE KeyUserName = ?1 AND Counter > ?2 ORDER BY Counter LIMIT ?3"_s);
        QVERIFY(plan.next());
        QVERIFY2(plan.text(3).contains(u"COVERING INDEX LoginsSearch"_s), qPrintable(plan.text(3)));
    }

    // A database edited by hand so that it is no longer this program's own (a trigger that
    // empties the records at the next change) is refused, saying why, and never run.
    void aDatabaseEditedByHandIsRefused() {
        const QString path = env->databasePath();
        {
            Result<Connection> edit = Connection::openFile(path, PassPhrase().toUtf8(), false);
            QVERIFY(edit->exec(u"CREATE TRIGGER wipe AFTER UPDATE ON Users BEGIN DELETE FROM "
                               "Logins; END"_s)
                        .ok());
        }
        const DbStatus refused = database->open().status();
        QCOMPARE(refused.code, DbCode::MissingTables);
        QCOMPARE(refused.detail, u"the file holds a trigger wipe"_s);
        QCOMPARE(DatabaseAccess(path, PassPhrase(), DatabaseAccess::Mode::ReadOnly)
                     .open()
                     .status()
                     .detail,
                 refused.detail);
    }

    // A blob written in chunks inside the transaction that adds its row comes back byte for
    // byte; a source that ends early leaves no row.
    void blobsMoveInChunks() {
        // Two and a half chunks, with a different byte at every position of a chunk.
        QByteArray bytes(int(kBlobChunkBytes * 5 / 2), '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            bytes[i] = char((i * 7 + i / 4099) & 0xff);
        }
        qint64 rowid = 0;
        QVERIFY(addImage(bytes, bytes.size(), rowid).ok());
        Result<Connection> connection = database->open();
        QList<qint64> chunks;
        QByteArray read;
        const BlobPlace place{u"Images"_s, u"Image"_s, rowid};
        QVERIFY(readBlobInChunks(connection.value(), place, [&](QByteArrayView chunk) {
                    chunks.append(chunk.size());
                    read.append(chunk);
                    return true;
                }).ok());
        QCOMPARE(chunks, (QList<qint64>{kBlobChunkBytes, kBlobChunkBytes, kBlobChunkBytes / 2}));
        QVERIFY(read == bytes);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(copyBlobToDevice(connection.value(), place, out).ok());
        QVERIFY(out.data() == bytes);
        // A consumer that gives up ends the read with an error, as does a row that is not there.
        QCOMPARE(
            readBlobInChunks(connection.value(), place, [](QByteArrayView) { return false; }).code,
            DbCode::IoError);
        QVERIFY(
            !copyBlobToDevice(connection.value(), {u"Images"_s, u"Image"_s, rowid + 1}, out).ok());

        const QString count = u"SELECT count(*) FROM Images"_s;
        QCOMPARE(addImage(QByteArray(int(kBlobChunkBytes + 10), 'z'), kBlobChunkBytes, rowid).code,
                 DbCode::IoError);
        QCOMPARE(test::countOf(connection.value(), count), 1);
        QVERIFY(addImage("abc", 3, rowid).ok());
        QCOMPARE(test::countOf(connection.value(), count), 2);
    }
};

QTEST_GUILESS_MAIN(DatabaseTest)
#include "tst_database.moc"
