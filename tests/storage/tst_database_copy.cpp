#include <QtTest>

#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>
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

QStringList userNames(const QString& path) {
    QStringList names;
    Result<Connection> connection = openDatabase(path);
    if (!connection.ok()) {
        return {u"unreadable: "_s + connection.status().detail};
    }
    Statement query = connection->prepare(u"SELECT UserName FROM Users ORDER BY Id"_s);
    while (query.next()) {
        names << query.text(0);
    }
    return names;
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
        const QString target = out + u"data.ksd"_s;
        QVERIFY(writeVerifiedCopy(live, PassPhrase(), target).ok());
        QCOMPARE(test::readBytes(target), test::readBytes(live));
        QCOMPARE(test::fileMode(target), 0600);
        QVERIFY(!QFile::exists(partialCopyPath(target)));
        QCOMPARE(userNames(target), QStringList({u"U0"_s, u"U1"_s}));
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
        const QString target = out + u"data.ksd"_s;
        test::writeFile(target, "earlier export");
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!writeVerifiedCopy(live, PassPhrase(), target, hooks).ok());
        QCOMPARE(test::readBytes(target), QByteArray("earlier export"));
        QVERIFY(!QFile::exists(partialCopyPath(target)));
    }

    void exportIntoAnUnwritableFolderFails() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
        const DbStatus status = writeVerifiedCopy(live, PassPhrase(), out + "data.ksd");
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(status.code, DbCode::ReadOnly);
        QVERIFY(!QFile::exists(out + "data.ksd"));
    }

    void exportWaitsForNoWriterAndFailsWhileOneHoldsTheLock() {
        Result<Connection> writer = openDatabase(live);
        QVERIFY(writer.ok());
        Transaction held = writer->begin();
        QVERIFY(held.status().ok());
        CopyHooks hooks;
        hooks.lockTimeoutMs = 50;
        const DbStatus status = writeVerifiedCopy(live, PassPhrase(), out + "data.ksd", hooks);
        QCOMPARE(status.code, DbCode::Busy);
        QVERIFY(!QFile::exists(out + "data.ksd"));
    }

    void hostileFilesAreRefusedAndTheLiveDatabaseStaysAsItWas_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind :
             {"empty", "cut at 100", "cut at 4096", "cut at half", "cut last byte", "random",
              "plain SQLite", "another key", "another schema", "folder", "table missing",
              "damaged page", "text file"}) {
            QTest::newRow(kind) << QString::fromLatin1(kind);
        }
    }
    void hostileFilesAreRefusedAndTheLiveDatabaseStaysAsItWas() {
        QFETCH(QString, kind);
        const QString source = out + u"data.ksd"_s;
        const QString good = env->root() + u"good.mdb"_s;
        test::writeFile(good, goodDatabase);
        const QByteArray whole = goodDatabase;
        if (kind == QLatin1String("empty")) {
            test::writeFile(source, {});
        } else if (kind.startsWith(QLatin1String("cut at "))) {
            const QString at = kind.mid(7);
            const qsizetype length = at == QLatin1String("half") ? whole.size() / 2 : at.toInt();
            test::writeFile(source, whole.left(length));
        } else if (kind == QLatin1String("cut last byte")) {
            test::writeFile(source, whole.left(whole.size() - 1));
        } else if (kind == QLatin1String("random")) {
            QByteArray noise(whole.size(), '\0');
            for (char& c : noise) {
                c = char(QRandomGenerator::global()->generate());
            }
            test::writeFile(source, noise);
        } else if (kind == QLatin1String("plain SQLite")) {
            sqlite3* plain = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(source).constData(), &plain), SQLITE_OK);
            QCOMPARE(sqlite3_exec(plain,
                                  "CREATE TABLE Users (Id INTEGER PRIMARY KEY, UserName TEXT, "
                                  "Password TEXT); INSERT INTO Users VALUES (1, 'a', 'b')",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(plain);
        } else if (kind == QLatin1String("another key")) {
            makeDatabase(source, 1, u"another phrase"_s);
        } else if (kind == QLatin1String("another schema")) {
            Result<Connection> other = Connection::openFile(source, PassPhrase().toUtf8(), true);
            QVERIFY(other->exec(u"CREATE TABLE Notes (Text TEXT)"_s).ok());
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(source));
        } else if (kind == QLatin1String("table missing")) {
            Result<Connection> other = openDatabase(good);
            QVERIFY(other->exec(u"DROP TABLE Journals"_s).ok());
            other = DbStatus{};
            QVERIFY(QFile::copy(good, source));
        } else if (kind == QLatin1String("damaged page")) {
            QByteArray damaged = whole;
            for (qsizetype i = 4096 * 2 + 100; i < 4096 * 2 + 600; ++i) {
                damaged[i] = char(damaged[i] ^ 0x5a);
            }
            test::writeFile(source, damaged);
        } else {
            test::writeFile(source, "<b>not a database</b>\n");
        }
        const QByteArray before = test::readBytes(live);
        const DbStatus status = stageDatabaseForImport(source, staging(), PassPhrase());
        QVERIFY2(!status.ok(), qPrintable(kind));
        QVERIFY(!QFile::exists(staging()));
        QCOMPARE(test::readBytes(live), before);
    }

    void unreadableFileIsRefused() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        const QString source = out + u"data.ksd"_s;
        makeDatabase(source, 1);
        QVERIFY(QFile::setPermissions(source, QFile::WriteOwner));
        QCOMPARE(stageDatabaseForImport(source, staging(), PassPhrase()).code, DbCode::ReadOnly);
        QVERIFY(!QFile::exists(staging()));
    }

    void importReplacesTheDatabaseAndKeepsTheOldOne() {
        const QString source = out + u"data.ksd"_s;
        makeDatabase(source, 4);
        const QByteArray sourceBytes = test::readBytes(source);
        const QByteArray before = test::readBytes(live);
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        QCOMPARE(test::readBytes(source), sourceBytes);  // the chosen file is only read
        QVERIFY(restoreDatabaseFrom(staging(), live, backup(), PassPhrase()).ok());
        QCOMPARE(userNames(live).size(), 4);
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
        const QString source = out + u"data.ksd"_s;
        makeDatabase(source, 4);
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        const QByteArray before = test::readBytes(live);
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!restoreDatabaseFrom(staging(), live, backup(), PassPhrase(), hooks).ok());
        QCOMPARE(test::readBytes(live), before);
        QCOMPARE(userNames(live).size(), 2);
    }

    void importWhileAnotherWriterHoldsTheLockFails() {
        const QString source = out + u"data.ksd"_s;
        makeDatabase(source, 4);
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        Result<Connection> writer = openDatabase(live);
        Transaction held = writer->begin();
        QVERIFY(held.status().ok());
        CopyHooks hooks;
        hooks.lockTimeoutMs = 50;
        QCOMPARE(restoreDatabaseFrom(staging(), live, backup(), PassPhrase(), hooks).code,
                 DbCode::Busy);
    }

    void olderDatabaseIsBroughtUpToDate() {
        const QString source = out + u"data.ksd"_s;
        // An older build: Files without CompressedSize and without its owner index.
        Result<Connection> old = Connection::openFile(source, PassPhrase().toUtf8(), true);
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
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
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
