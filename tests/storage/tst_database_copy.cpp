#include <QtTest>

#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include "SmallDisk.h"
#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/Backups.h"
#include "storage/DatabaseCopy.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

Result<Connection> openDatabase(const QString& path, const QString& phrase = PassPhrase()) {
    Result<Connection> connection = Connection::openFile(path, phrase.toUtf8(), true);
    if (connection.ok()) {
        if (DbStatus status = verifyDatabase(connection.value()); !status.ok()) {
            return status;
        }
    }
    return connection;
}

// A new database of this program at `path` holding `users` accounts and a picture.
void makeDatabase(const QString& path, int users, const QString& phrase = PassPhrase()) {
    Result<Connection> connection = Connection::openFile(path, phrase.toUtf8(), true);
    QVERIFY(connection.ok());
    QVERIFY(createSchema(connection.value()).ok());
    for (int i = 0; i < users; ++i) {
        QVERIFY(connection
                    ->exec(u"INSERT INTO Users (UserName, Password) VALUES "
                           "('U%1', 'P%1')"_s.arg(i))
                    .ok());
    }
    Statement picture = connection->prepare(
        u"INSERT INTO Images (ImageName, UserName, Image) VALUES ('a.png', 'U0', ?1)"_s);
    picture.bindBlob(1, QByteArray(300000, 'p'));
    QVERIFY(picture.run().ok());
}

qint64 userCount(const QString& path) {
    Result<Connection> connection = openDatabase(path);
    return connection.ok() ? test::countOf(connection.value(), u"SELECT count(*) FROM Users"_s)
                           : -1;
}

}  // namespace

class DatabaseCopyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    QString live;
    QString out;
    QByteArray goodDatabase;  // a whole database of five accounts, made once

    QString staging() { return env->dataFolder() + u"Import.part"_s; }
    QString backups() { return env->dataFolder() + u"Backups/"_s; }
    QString source() { return out + u"data.ksd"_s; }  // an export, or a file to import
    KeepOldDatabase keep(const QDateTime& made = QDateTime(QDate(2026, 12, 7), QTime(15, 30, 12))) {
        return {backups(), u"before-import"_s, made};
    }
    // Stages `source()` and copies it into the live database; the kept copy's path.
    QString import() {
        const DbStatus staged = stageDatabaseForImport(source(), staging(), PassPhrase());
        if (!staged.ok()) {
            return u"not staged: "_s + staged.detail;
        }
        const Result<QString> kept = restoreDatabaseFrom(staging(), live, keep(), PassPhrase());
        return kept.ok() ? kept.value() : u"not kept: "_s + kept.status().detail;
    }

private Q_SLOTS:
    void initTestCase() {
        test::TestEnvironment world;
        const QString path = world.root() + u"good.mdb"_s;
        makeDatabase(path, 5);
        goodDatabase = test::readBytes(path);
    }
    void init() {
        env.reset();  // the world of the last test goes first: each one lives on its own
        env = std::make_unique<test::TestEnvironment>();
        QDir().mkpath(env->dataFolder());
        live = env->databasePath();
        makeDatabase(live, 2);
        out = env->root() + u"out/"_s;
        QDir().mkpath(out);
    }
    void cleanup() { env.reset(); }

    void exportIsTheDatabaseByteForByte() {
        QVERIFY(writeVerifiedCopy(live, PassPhrase(), source()).ok());
        QCOMPARE(test::readBytes(source()), test::readBytes(live));
        QCOMPARE(test::fileMode(source()), 0600);
        QVERIFY(!QFile::exists(partialCopyPath(source())));
    }

    void failingExportKeepsTheEarlierOneAndLeavesNoPart_data() {
        QTest::addColumn<int>("step");
        for (CopyStep step : {CopyStep::Lock, CopyStep::Write, CopyStep::Verify, CopyStep::Flush,
                              CopyStep::Rename}) {
            QTest::addRow("step %d", int(step)) << int(step);
        }
    }
    void failingExportKeepsTheEarlierOneAndLeavesNoPart() {
        QFETCH(int, step);
        test::writeFile(source(), "earlier export");
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!writeVerifiedCopy(live, PassPhrase(), source(), hooks).ok());
        QCOMPARE(test::readBytes(source()), QByteArray("earlier export"));
        QVERIFY(!QFile::exists(partialCopyPath(source())));
    }

    void unwritableFolderAndUnreadableFileAreRefused() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
        const DbStatus status = writeVerifiedCopy(live, PassPhrase(), source());
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(status.code, DbCode::ReadOnly);
        QVERIFY(!QFile::exists(source()));
        makeDatabase(source(), 1);
        QVERIFY(QFile::setPermissions(source(), QFile::WriteOwner));
        QCOMPARE(stageDatabaseForImport(source(), staging(), PassPhrase()).code, DbCode::ReadOnly);
        QVERIFY(!QFile::exists(staging()));
    }

    // While another writer holds the lock, neither an export nor an import gets in.
    void exportAndImportFailWhileAnotherWriterHoldsTheLock() {
        makeDatabase(source(), 4);
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        const QByteArray before = test::readBytes(live);
        Result<Connection> writer = openDatabase(live);
        Transaction held = writer->begin();
        QVERIFY(held.status().ok());
        CopyHooks hooks;
        hooks.lockTimeoutMs = 50;
        const QString target = out + u"export.ksd"_s;
        QCOMPARE(writeVerifiedCopy(live, PassPhrase(), target, hooks).code, DbCode::Busy);
        QVERIFY(!QFile::exists(target));
        const Result<QString> kept =
            restoreDatabaseFrom(staging(), live, keep(), PassPhrase(), hooks);
        QCOMPARE(kept.status().code, DbCode::Busy);
        // The engine's words for it, never "not an error".
        QCOMPARE(kept.status().detail, u"database is locked"_s);
        QCOMPARE(test::readBytes(live), before);
        QCOMPARE(test::filesUnder(backups()), QStringList());
    }

    void hostileFilesAreRefusedAndTheLiveDatabaseStaysAsItWas_data() {
        QTest::addColumn<QString>("kind");  // how the file is made; empty: from `bytes`
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray& whole = goodDatabase;
        QByteArray noise(whole.size(), '\0');
        for (char& c : noise) {
            c = char(QRandomGenerator::global()->generate());
        }
        QByteArray damaged = whole;
        for (qsizetype i = 4096 * 2 + 100; i < 4096 * 2 + 600; ++i) {
            damaged[i] = char(damaged[i] ^ 0x5a);
        }
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("cut at 100") << QString() << whole.left(100);
        QTest::newRow("cut at 4096") << QString() << whole.left(4096);
        QTest::newRow("cut at half") << QString() << whole.left(whole.size() / 2);
        QTest::newRow("cut last byte") << QString() << whole.chopped(1);
        QTest::newRow("random") << QString() << noise;
        QTest::newRow("damaged page") << QString() << damaged;
        QTest::newRow("text file") << QString() << QByteArray("<b>not a database</b>\n");
        for (const char* kind :
             {"plain SQLite", "another key", "another schema", "folder", "table missing"}) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << QByteArray();
        }
    }
    void hostileFilesAreRefusedAndTheLiveDatabaseStaysAsItWas() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        if (kind.isEmpty()) {
            test::writeFile(source(), bytes);
        } else if (kind == u"plain SQLite"_s) {
            sqlite3* plain = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(source()).constData(), &plain), SQLITE_OK);
            QCOMPARE(sqlite3_exec(plain,
                                  "CREATE TABLE Users (Id INTEGER PRIMARY KEY, UserName TEXT, "
                                  "Password TEXT); INSERT INTO Users VALUES (1, 'a', 'b')",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(plain);
        } else if (kind == u"another key"_s) {
            makeDatabase(source(), 1, u"another phrase"_s);
        } else if (kind == u"another schema"_s) {
            Result<Connection> other = Connection::openFile(source(), PassPhrase().toUtf8(), true);
            QVERIFY(other->exec(u"CREATE TABLE Notes (Text TEXT)"_s).ok());
        } else if (kind == u"folder"_s) {
            QVERIFY(QDir().mkpath(source()));
        } else {
            makeDatabase(source(), 1);
            QVERIFY(openDatabase(source())->exec(u"DROP TABLE Journals"_s).ok());
        }
        const QByteArray before = test::readBytes(live);
        const DbStatus status = stageDatabaseForImport(source(), staging(), PassPhrase());
        QVERIFY2(!status.ok(), qPrintable(kind));
        QVERIFY(!QFile::exists(staging()));
        QCOMPARE(test::readBytes(live), before);
    }

    // Every import keeps the database it replaces, in a checked copy of its own: a second import
    // never touches the first one's copy, nor a copy an older build kept beside the database.
    void importsKeepEveryReplacedDatabase() {
        test::writeFile(live + u".bak"_s, "an older build's copy");
        makeDatabase(source(), 4);
        const QByteArray sourceBytes = test::readBytes(source());
        const QByteArray before = test::readBytes(live);
        const QString first = import();
        QCOMPARE(test::readBytes(source()), sourceBytes);  // the chosen file is only read
        QCOMPARE(first, backups() + u"Data-20261207-153012-before-import.mdb"_s);
        QCOMPARE(userCount(live), 4);
        QCOMPARE(userCount(first), 2);
        QVERIFY(!QFile::exists(staging()));
        // The live file keeps its own salt, so the program's cached key still opens it.
        QCOMPARE(test::readBytes(live).left(16), before.left(16));
        {
            Result<Connection> check = openDatabase(live);
            Statement integrity = check->prepare(u"PRAGMA integrity_check"_s);
            QVERIFY(integrity.next());
            QCOMPARE(integrity.text(0), u"ok"_s);
        }

        makeDatabase(source() + u"2"_s, 1);
        QVERIFY(QFile::remove(source()) && QFile::rename(source() + u"2"_s, source()));
        const QString second = import();  // in the same second: a name of its own
        QCOMPARE(second, backups() + u"Data-20261207-153012-before-import_2.mdb"_s);
        QCOMPARE(userCount(live), 1);
        QCOMPARE(userCount(second), 4);
        QCOMPARE(userCount(first), 2);
        QCOMPARE(test::fileMode(backups()), 0700);
        for (const QString& copy : {first, second}) {
            QCOMPARE(test::fileMode(copy), 0600);
        }
        QCOMPARE(test::readBytes(live + u".bak"_s), QByteArray("an older build's copy"));
        QFile older(live + u".bak"_s);
        QVERIFY(older.open(QIODevice::ReadWrite) &&
                older.setFileTime(QDateTime(QDate(2025, 1, 1), QTime(9, 0)),
                                  QFileDevice::FileModificationTime));
        older.close();
        QStringList listed;
        for (const BackupFile& file : listBackups(env->dataFolder())) {
            listed << QFileInfo(file.path).fileName() + u' ' + file.reason + u' ' +
                          file.made.toString(u"yyyy-MM-dd HH:mm:ss"_s);
        }
        QCOMPARE(listed, QStringList({u"Data.mdb.bak before-import 2025-01-01 09:00:00"_s,
                                      u"Data-20261207-153012-before-import.mdb before-import "
                                      "2026-12-07 15:30:12"_s,
                                      u"Data-20261207-153012-before-import_2.mdb before-import "
                                      "2026-12-07 15:30:12"_s}));
    }

    // A copy that cannot be made (a full disk) stops the import before anything is replaced.
    void importWithoutRoomForTheCopyChangesNothing() {
        makeDatabase(source(), 4);
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        const QByteArray before = test::readBytes(live);
        Result<QString> kept = DbStatus{};
        {
            const test::FileSizeLimit full(QFileInfo(live).size() / 2);
            kept = restoreDatabaseFrom(staging(), live, keep(), PassPhrase());
        }
        QVERIFY(!kept.ok());
        QVERIFY(!kept.status().detail.isEmpty());
        QCOMPARE(test::readBytes(live), before);
        QCOMPARE(test::filesUnder(backups()), QStringList());
        QVERIFY(QFile::exists(staging()));  // still checked and ready: the user may free space
    }

    // A failed import changes nothing and keeps no copy, also when the database changed after
    // it was copied (the copy would not be the database replaced).
    void failedImportLeavesTheLiveDatabase_data() {
        QTest::addColumn<int>("step");
        QTest::newRow("after the copy") << int(CopyStep::Keep);
        QTest::newRow("after the lock") << int(CopyStep::Lock);
        QTest::newRow("before the writing") << int(CopyStep::Write);
        QTest::newRow("changed after the copy") << -1;
    }
    void failedImportLeavesTheLiveDatabase() {
        QFETCH(int, step);
        makeDatabase(source(), 4);
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        CopyHooks hooks;
        hooks.failAt = [&](CopyStep at) {
            if (step < 0 && at == CopyStep::Keep) {
                openDatabase(live)->exec(u"INSERT INTO Users (UserName) VALUES ('late')"_s);
            }
            return int(at) == step;
        };
        const QByteArray before = test::readBytes(live);
        const Result<QString> kept =
            restoreDatabaseFrom(staging(), live, keep(), PassPhrase(), hooks);
        QVERIFY(!kept.ok());
        if (step < 0) {
            QCOMPARE(kept.status().detail,
                     u"the database was changed while its copy was being made"_s);
            QCOMPARE(userCount(live), 3);
        } else {
            QCOMPARE(test::readBytes(live), before);
            QCOMPARE(userCount(live), 2);
        }
        QCOMPARE(test::filesUnder(backups()), QStringList());
    }

    // Only this build's schema is taken in: every other table, column, type, key, index,
    // trigger or view is refused with its reason, names from the file escaped and cut.
    void foreignSchemasAreRefusedWithTheirReason_data() {
        QTest::addColumn<QString>("change");  // applied to a database of this build
        QTest::addColumn<QString>("reason");
        const QString files =
            u"DROP TABLE Files; CREATE TABLE Files (Id INTEGER PRIMARY KEY AUTOINCREMENT, Counter "
            "INTEGER, FileName TEXT NOT NULL DEFAULT '', UserName TEXT NOT NULL DEFAULT '', Size "
            "INTEGER NOT NULL DEFAULT 0, CompressedSize INTEGER NOT NULL DEFAULT 0, LastModified "
            "TEXT NOT NULL DEFAULT '', File BLOB); CREATE INDEX FilesByOwner ON Files (UserName)"_s;
        QTest::newRow("counter not the key")
            << files << u"the table Files has a column Counter that is not its row key"_s;
        QTest::newRow("trigger") << u"CREATE TRIGGER wipe AFTER UPDATE ON Users BEGIN DELETE FROM "
                                    "Logins; END"_s
                                 << u"the file holds a trigger wipe"_s;
        QTest::newRow("view") << u"CREATE VIEW Everything AS SELECT * FROM Logins"_s
                              << u"the file holds a view Everything"_s;
        QTest::newRow("table") << u"CREATE TABLE Notes (x)"_s
                               << u"the file holds a table Notes that is not ours"_s;
        QTest::newRow("column") << u"ALTER TABLE Logins ADD COLUMN Extra TEXT"_s
                                << u"the table Logins has a column Extra that is not ours"_s;
        QTest::newRow("type")
            << u"DROP TABLE Images; CREATE TABLE Images (Counter INTEGER PRIMARY KEY "
               "AUTOINCREMENT, ImageName INTEGER NOT NULL DEFAULT '', UserName TEXT NOT NULL "
               "DEFAULT '', Image BLOB)"_s
            << u"the column ImageName of the table Images has the type INTEGER instead of TEXT"_s;
        QTest::newRow("collation")
            << u"DROP TABLE Users; CREATE TABLE Users (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
               "UserName TEXT NOT NULL DEFAULT '' COLLATE NOCASE, Password TEXT NOT NULL DEFAULT "
               "''); CREATE UNIQUE INDEX UsersByName ON Users (UserName)"_s
            << u"the table Users is defined differently from ours: \"username text not null "
               "default ''"_s;
        QTest::newRow("without row keys")
            << u"DROP TABLE LoginsCategory; CREATE TABLE LoginsCategory (Id INTEGER PRIMARY KEY "
               "AUTOINCREMENT, CategoryName TEXT NOT NULL DEFAULT '', UserName TEXT NOT NULL "
               "DEFAULT '', CHECK (length(CategoryName) < 5))"_s
            << u"the table LoginsCategory is defined differently from ours: \"check(length"_s;
        QTest::newRow("index") << u"CREATE UNIQUE INDEX Peek ON Logins (Category)"_s
                               << u"the file holds an index Peek that is not ours"_s;
        QTest::newRow("index changed")
            << u"DROP INDEX FilesByOwner; CREATE INDEX FilesByOwner ON Files (FileName)"_s
            << u"the index FilesByOwner is defined differently from ours"_s;
        QTest::newRow("hostile name")
            << u"CREATE VIEW \"a\nb\u202e<b>%1\" AS SELECT 1"_s.arg(QString(300, u'x'))
            << u"the file holds a view \"a\\u{a}b\\u{202e}<b>%1\u2026\""_s.arg(QString(33, u'x'));
    }
    void foreignSchemasAreRefusedWithTheirReason() {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        makeDatabase(source(), 2);
        QVERIFY(openDatabase(source())->exec(change).ok());
        const QByteArray before = test::readBytes(live);
        const DbStatus status = stageDatabaseForImport(source(), staging(), PassPhrase());
        QCOMPARE(status.code, DbCode::MissingTables);
        QVERIFY2(status.detail.startsWith(reason), qPrintable(status.detail));
        QVERIFY(!status.detail.contains(u'\n'));
        QVERIFY(!QFile::exists(staging()));
        QCOMPARE(test::readBytes(live), before);
    }

    // A file of the first builds (no listing and search indexes, account names not unique)
    // comes in brought up to date; one holding two accounts of one name is refused, saying so.
    void olderBuildsAreTakenInUnlessTwoAccountsShareAName() {
        const QString older =
            u"DROP INDEX LoginsListing; DROP INDEX LoginsSearch; DROP INDEX UsersByName; "
            "CREATE INDEX UsersByName ON Users (UserName)"_s;
        makeDatabase(source(), 3);
        QVERIFY(openDatabase(source())->exec(older).ok());
        QVERIFY(import().startsWith(backups()));
        Result<Connection> now = openDatabase(live);
        const SchemaVerdict verdict = checkSchema(now.value());
        QCOMPARE(verdict.fit, SchemaFit::Exact);
        QCOMPARE(userCount(live), 3);
        now = DbStatus{};

        makeDatabase(source() + u"2"_s, 2);
        QVERIFY(QFile::remove(source()) && QFile::rename(source() + u"2"_s, source()));
        QVERIFY(openDatabase(source())->exec(older + u"; UPDATE Users SET UserName = 'U0'"_s).ok());
        const DbStatus status = stageDatabaseForImport(source(), staging(), PassPhrase());
        QCOMPARE(status.code, DbCode::Unusable);
        QCOMPARE(status.detail, u"two of its accounts have the same name"_s);
        QVERIFY(!QFile::exists(staging()));
    }

    void olderDatabaseIsBroughtUpToDate() {
        // An older build: Files without CompressedSize and without its owner index.
        Result<Connection> old = Connection::openFile(source(), PassPhrase().toUtf8(), true);
        QVERIFY(createSchema(old.value()).ok());
        QVERIFY(old->exec(u"DROP INDEX FilesByOwner"_s).ok());
        QVERIFY(old->exec(u"DROP TABLE Files"_s).ok());
        QVERIFY(old->exec(u"CREATE TABLE Files (Counter INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "FileName TEXT NOT NULL DEFAULT '', UserName TEXT NOT NULL "
                          "DEFAULT '', Size INTEGER NOT NULL DEFAULT 0, LastModified TEXT "
                          "NOT NULL DEFAULT '', File BLOB)"_s)
                    .ok());
        QVERIFY(old->exec(u"INSERT INTO Files (FileName, Size) VALUES ('f', 7)"_s).ok());
        old = DbStatus{};
        QVERIFY(import().startsWith(backups()));
        Result<Connection> now = openDatabase(live);
        Statement row = now->prepare(u"SELECT FileName, Size, CompressedSize FROM Files"_s);
        QVERIFY(row.next());
        QCOMPARE(row.text(0), u"f"_s);
        QCOMPARE(row.integer(2), 0);
        QCOMPARE(test::countOf(now.value(),
                               u"SELECT count(*) FROM sqlite_master WHERE type = "
                               "'index' AND name = 'FilesByOwner'"_s),
                 1);
    }
};

QTEST_GUILESS_MAIN(DatabaseCopyTest)
#include "tst_database_copy.moc"
