#include <QtTest>

#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/DatabaseCopy.h"
#include "storage/Schema.h"

using namespace ks;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

int modeOf(const QString& path) {
    struct stat facts {};
    return ::stat(QFile::encodeName(path).constData(), &facts) == 0 ? int(facts.st_mode & 07777)
                                                                    : -1;
}

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
                    ->exec(QStringLiteral("INSERT INTO Users (UserName, Password) VALUES "
                                          "('U%1', 'P%1')")
                               .arg(i))
                    .ok());
    }
    Statement picture = connection->prepare(QStringLiteral(
        "INSERT INTO Images (ImageName, UserName, Image) VALUES ('a.png', 'U0', ?1)"));
    picture.bindBlob(1, QByteArray(300000, 'p'));
    QVERIFY(picture.run().ok());
}

QStringList userNames(const QString& path) {
    QStringList names;
    Result<Connection> connection = openDatabase(path);
    if (!connection.ok()) {
        return {QStringLiteral("unreadable: ") + connection.status().detail};
    }
    Statement query = connection->prepare(QStringLiteral("SELECT UserName FROM Users ORDER BY Id"));
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

    QString staging() { return env->dataFolder() + QStringLiteral("Import.part"); }
    QString backup() { return live + QStringLiteral(".bak"); }

private Q_SLOTS:
    void initTestCase() {
        test::TestEnvironment world;
        const QString path = world.root() + QStringLiteral("good.mdb");
        makeDatabase(path, 5);
        goodDatabase = bytesOf(path);
    }
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        QDir().mkpath(env->dataFolder());
        live = env->databasePath();
        makeDatabase(live, 2);
        out = env->root() + QStringLiteral("out/");
        QDir().mkpath(out);
    }

    void exportIsTheDatabaseByteForByte() {
        const QString target = out + QStringLiteral("data.ksd");
        QVERIFY(writeVerifiedCopy(live, PassPhrase(), target).ok());
        QCOMPARE(bytesOf(target), bytesOf(live));
        QCOMPARE(modeOf(target), 0600);
        QVERIFY(!QFile::exists(partialCopyPath(target)));
        QCOMPARE(userNames(target), QStringList({QStringLiteral("U0"), QStringLiteral("U1")}));
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
        const QString target = out + QStringLiteral("data.ksd");
        writeBytes(target, "earlier export");
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!writeVerifiedCopy(live, PassPhrase(), target, hooks).ok());
        QCOMPARE(bytesOf(target), QByteArray("earlier export"));
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
        const QString source = out + QStringLiteral("data.ksd");
        const QString good = env->root() + QStringLiteral("good.mdb");
        writeBytes(good, goodDatabase);
        const QByteArray whole = goodDatabase;
        if (kind == QLatin1String("empty")) {
            writeBytes(source, {});
        } else if (kind.startsWith(QLatin1String("cut at "))) {
            const QString at = kind.mid(7);
            const qsizetype length = at == QLatin1String("half") ? whole.size() / 2 : at.toInt();
            writeBytes(source, whole.left(length));
        } else if (kind == QLatin1String("cut last byte")) {
            writeBytes(source, whole.left(whole.size() - 1));
        } else if (kind == QLatin1String("random")) {
            QByteArray noise(whole.size(), '\0');
            for (char& c : noise) {
                c = char(QRandomGenerator::global()->generate());
            }
            writeBytes(source, noise);
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
            makeDatabase(source, 1, QStringLiteral("another phrase"));
        } else if (kind == QLatin1String("another schema")) {
            Result<Connection> other = Connection::openFile(source, PassPhrase().toUtf8(), true);
            QVERIFY(other->exec(QStringLiteral("CREATE TABLE Notes (Text TEXT)")).ok());
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(source));
        } else if (kind == QLatin1String("table missing")) {
            Result<Connection> other = openDatabase(good);
            QVERIFY(other->exec(QStringLiteral("DROP TABLE Journals")).ok());
            other = DbStatus{};
            QVERIFY(QFile::copy(good, source));
        } else if (kind == QLatin1String("damaged page")) {
            QByteArray damaged = whole;
            for (qsizetype i = 4096 * 2 + 100; i < 4096 * 2 + 600; ++i) {
                damaged[i] = char(damaged[i] ^ 0x5a);
            }
            writeBytes(source, damaged);
        } else {
            writeBytes(source, "<b>not a database</b>\n");
        }
        const QByteArray before = bytesOf(live);
        const DbStatus status = stageDatabaseForImport(source, staging(), PassPhrase());
        QVERIFY2(!status.ok(), qPrintable(kind));
        QVERIFY(!QFile::exists(staging()));
        QCOMPARE(bytesOf(live), before);
    }

    void unreadableFileIsRefused() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not bind the superuser");
        }
        const QString source = out + QStringLiteral("data.ksd");
        makeDatabase(source, 1);
        QVERIFY(QFile::setPermissions(source, QFile::WriteOwner));
        QCOMPARE(stageDatabaseForImport(source, staging(), PassPhrase()).code, DbCode::ReadOnly);
        QVERIFY(!QFile::exists(staging()));
    }

    void importReplacesTheDatabaseAndKeepsTheOldOne() {
        const QString source = out + QStringLiteral("data.ksd");
        makeDatabase(source, 4);
        const QByteArray sourceBytes = bytesOf(source);
        const QByteArray before = bytesOf(live);
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        QCOMPARE(bytesOf(source), sourceBytes);  // the chosen file is only read
        QVERIFY(restoreDatabaseFrom(staging(), live, backup(), PassPhrase()).ok());
        QCOMPARE(userNames(live).size(), 4);
        QCOMPARE(bytesOf(backup()), before);
        QCOMPARE(modeOf(backup()), 0600);
        QVERIFY(!QFile::exists(staging()));
        // The live file keeps its own salt, so the program's cached key still opens it.
        QCOMPARE(bytesOf(live).left(16), before.left(16));
        Result<Connection> check = openDatabase(live);
        Statement integrity = check->prepare(QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(integrity.next());
        QCOMPARE(integrity.text(0), QStringLiteral("ok"));
    }

    void failedImportLeavesTheLiveDatabase_data() {
        QTest::addColumn<int>("step");
        QTest::newRow("after the lock") << int(CopyStep::Lock);
        QTest::newRow("after keeping the old one") << int(CopyStep::Write);
    }
    void failedImportLeavesTheLiveDatabase() {
        QFETCH(int, step);
        const QString source = out + QStringLiteral("data.ksd");
        makeDatabase(source, 4);
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        const QByteArray before = bytesOf(live);
        CopyHooks hooks;
        hooks.failAt = [step](CopyStep at) { return int(at) == step; };
        QVERIFY(!restoreDatabaseFrom(staging(), live, backup(), PassPhrase(), hooks).ok());
        QCOMPARE(bytesOf(live), before);
        QCOMPARE(userNames(live).size(), 2);
    }

    void importWhileAnotherWriterHoldsTheLockFails() {
        const QString source = out + QStringLiteral("data.ksd");
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
        const QString source = out + QStringLiteral("data.ksd");
        // An older build: Files without CompressedSize and without its owner index.
        Result<Connection> old = Connection::openFile(source, PassPhrase().toUtf8(), true);
        QVERIFY(createSchema(old.value()).ok());
        QVERIFY(old->exec(QStringLiteral("DROP INDEX FilesByOwner")).ok());
        QVERIFY(old->exec(QStringLiteral("DROP TABLE Files")).ok());
        QVERIFY(old->exec(QStringLiteral(
                              "CREATE TABLE Files (Counter INTEGER PRIMARY KEY AUTOINCREMENT, "
                              "FileName TEXT NOT NULL DEFAULT '', UserName TEXT NOT NULL "
                              "DEFAULT '', Size INTEGER NOT NULL DEFAULT 0, LastModified TEXT "
                              "NOT NULL DEFAULT '', File BLOB)"))
                    .ok());
        QVERIFY(
            old->exec(QStringLiteral("INSERT INTO Files (FileName, Size) VALUES ('f', 7)")).ok());
        old = DbStatus{};
        QVERIFY(stageDatabaseForImport(source, staging(), PassPhrase()).ok());
        QVERIFY(restoreDatabaseFrom(staging(), live, backup(), PassPhrase()).ok());
        Result<Connection> now = openDatabase(live);
        Statement row =
            now->prepare(QStringLiteral("SELECT FileName, Size, CompressedSize FROM Files"));
        QVERIFY(row.next());
        QCOMPARE(row.text(0), QStringLiteral("f"));
        QCOMPARE(row.integer(2), 0);
        Statement index = now->prepare(QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'FilesByOwner'"));
        QVERIFY(index.next());
        QCOMPARE(index.integer(0), 1);
    }
};

QTEST_GUILESS_MAIN(DatabaseCopyTest)
#include "tst_database_copy.moc"
