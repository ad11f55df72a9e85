#include <QtTest>

#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"
#include "storage/SchemaUpgrade.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QStringList kTables = {u"Users"_s,    u"Logins"_s, u"LoginsCategory"_s,
                             u"Journals"_s, u"Images"_s, u"Files"_s};

// Every table's row count and the identities of all its rows.
struct Rows {
    QMap<QString, qint64> counts;
    QList<QByteArray> uuids;
    int missing = 0;
};

Rows rowsOf(Connection& connection) {
    Rows rows;
    for (const QString& table : kTables) {
        rows.counts[table] = test::countOf(connection, u"SELECT count(*) FROM "_s + table);
        Statement query = connection.prepare(u"SELECT Uuid FROM "_s + table);
        while (query.next()) {
            if (query.isNull(0)) {
                ++rows.missing;
            } else {
                rows.uuids << query.blob(0);
            }
        }
    }
    return rows;
}

}  // namespace

class RowIdentityTest : public test::DatabaseTest {
    Q_OBJECT

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    // A database an older build wrote is brought up to date at its first open, in place: every
    // row of every table gets an identity of its own, nothing else changes, and what it held
    // still reads. Rows an older build adds afterwards get theirs at the next run.
    void olderBuildsDatabaseGetsIdentitiesAtOpen() {
        database.reset();
        const QString path = env->databasePath();
        QFile::remove(path);
        QVERIFY(QFile::copy(QStringLiteral(TEST_DATA "older-build.mdb"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QMap<QString, qint64> before;
        {
            Result<Connection> old =
                Connection::openFile(path, rawKeyFor(PassPhrase(), readSalt(path)), false);
            QVERIFY(old.ok());
            QCOMPARE(checkSchema(old.value()).fit, SchemaFit::Older);
            for (const QString& table : kTables) {
                before[table] = test::countOf(old.value(), u"SELECT count(*) FROM "_s + table);
            }
            QVERIFY(before[u"Logins"_s] > 10 && before[u"Images"_s] == 2 &&
                    before[u"Files"_s] == 1);
        }
        database = std::make_unique<DatabaseAccess>(path, PassPhrase());
        {
            Result<Connection> connection = database->open();
            QVERIFY2(connection.ok(), qPrintable(connection.status().detail));
            QCOMPARE(checkSchema(connection.value()).fit, SchemaFit::Exact);
            const Rows rows = rowsOf(connection.value());
            QCOMPARE(rows.counts, before);
            QCOMPARE(rows.missing, 0);
            QCOMPARE(QSet<QByteArray>(rows.uuids.cbegin(), rows.uuids.cend()).size(),
                     rows.uuids.size());
            for (const QByteArray& uuid : rows.uuids) {
                QCOMPARE(uuid.size(), kRowUuidBytes);
            }
            // The demonstration account's values still read.
            const QString owner = EncryptField(u"Alex Morgan"_s);
            QCOMPARE(test::countOf(connection.value(),
                                   u"SELECT count(*) FROM Users WHERE UserName = '"_s + owner +
                                       u"' AND Password = '"_s + EncryptField(u"demo-vault-42"_s) +
                                       u"'"_s),
                     1);
            // An older build adds a row, knowing nothing of identities.
            QVERIFY(connection
                        ->exec(u"INSERT INTO Logins (KeyUserName, ShortName) VALUES ('"_s + owner +
                               u"', '"_s + EncryptField(u"Added by an older build"_s) + u"')"_s)
                        .ok());
            QCOMPARE(rowsOf(connection.value()).missing, 1);
        }
        database = std::make_unique<DatabaseAccess>(path, PassPhrase());
        Result<Connection> next = database->open();
        QVERIFY(next.ok());
        QCOMPARE(rowsOf(next.value()).missing, 0);
    }

    // A fresh database is made the way an older one is brought up to date, so both have the
    // same schema; its shared categories have identities from the start.
    void freshDatabaseHasTheSameSchemaAndIdentities() {
        Result<Connection> connection = database->open();
        QVERIFY(connection.ok());
        QCOMPARE(checkSchema(connection.value()).fit, SchemaFit::Exact);
        const Rows rows = rowsOf(connection.value());
        QCOMPARE(rows.missing, 0);
        QCOMPARE(rows.uuids.size(), sharedCategoryNames().size());
        // The listing indexes hold the identities, so no list reads a row for them.
        Statement plan = connection->prepare(
            u"EXPLAIN QUERY PLAN SELECT Counter, FileName, Size, CompressedSize, LastModified, "
            "Uuid FROM Files WHERE UserName = ?1 ORDER BY Counter"_s);
        QVERIFY(plan.next());
        QVERIFY2(plan.text(3).contains(u"COVERING INDEX FilesByOwner"_s), qPrintable(plan.text(3)));
    }
};

QTEST_GUILESS_MAIN(RowIdentityTest)
#include "tst_row_identity.moc"
