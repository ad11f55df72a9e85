#include <QtTest>

#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/DatabaseCopy.h"
#include "storage/Schema.h"

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
    QString backup() { return live + u".bak"_s; }
    QString source() { return out + u"data.ksd"_s; }  // an export, or a file to import

private Q_SLOTS:
    void initTestCase() {
        test::TestEnvironment world;
        const QString path = world.root() + u"good.mdb"_s;
        makeDatabase(path, 5);
        goodDatabase = test::readBytes(path);
    }
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QDir().mkpath(env->dataFolder());
        live = env->databasePath();
        makeDatabase(live, 2);
        out = env->root() + u"out/"_s;
        QDir().mkpath(out);
    }

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
        QCOMPARE(restoreDatabaseFrom(staging(), live, backup(), PassPhrase(), hooks).code,
                 DbCode::Busy);
        QCOMPARE(test::readBytes(live), before);
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

    void importReplacesTheDatabaseAndKeepsTheOldOne() {
        makeDatabase(source(), 4);
        const QByteArray sourceBytes = test::readBytes(source());
        const QByteArray before = test::readBytes(live);
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        QCOMPARE(test::readBytes(source()), sourceBytes);  // the chosen file is only read
        QVERIFY(restoreDatabaseFrom(staging(), live, backup(), PassPhrase()).ok());
        QCOMPARE(userCount(live), 4);
        QCOMPARE(test::readBytes(backup()), before);
        QCOMPARE(test::fileMode(backup()), 0600);
        QVERIFY(!QFile::exists(staging()));
        // The live file keeps its own salt, so the program's cached key still opens it.
        QCOMPARE(test::readBytes(live).left(16), before.left(16));
        Result<Connection> check = openDatabase(live);
        Statement integrity = check->prepare(u"PRAGMA integrity_check"_s);
        QVERIFY(integrity.next());
        QCOMPARE(integrity.text(0), u"ok"_s);
    }

    void failedImportLeavesTheLiveDatabase_data() {
        QTest::addColumn<int>("step");
        QTest::newRow("after the lock") << int(CopyStep::Lock);
        QTest::newRow("after keeping the old one") << int(CopyStep::Write);
    }
    void failedImportLeavesTheLiveDatabase() {
        QFETCH(int, step);
        makeDatabase(source(), 4);
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        const QByteArray before = test::readBytes(live);
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!restoreDatabaseFrom(staging(), live, backup(), PassPhrase(), hooks).ok());
        QCOMPARE(test::readBytes(live), before);
        QCOMPARE(userCount(live), 2);
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
        QVERIFY(stageDatabaseForImport(source(), staging(), PassPhrase()).ok());
        QVERIFY(restoreDatabaseFrom(staging(), live, backup(), PassPhrase()).ok());
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
