#include "JournalTestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"

namespace ks::test {

JournalWorld::JournalWorld() {
    QDir().mkpath(env.dataFolder());
    QFile::copy(env.templatePath(), env.databasePath());
    QFile::setPermissions(env.databasePath(), QFile::ReadOwner | QFile::WriteOwner);
    database = std::make_unique<DatabaseAccess>(env.databasePath(), PassPhrase());
    setCipherDialogs(&dialogs, QStringLiteral("Keystead"));
}

JournalWorld::~JournalWorld() {
    setCipherDialogs(nullptr, QString());
    database.reset();
}

QString JournalWorld::owner(const QString& name) {
    return EncryptField(name);
}

void JournalWorld::addEntry(const QString& owner, QDate day, const QString& text) {
    addRawEntry(owner, journalDateText(day), storedJournalValue(text));
}

void JournalWorld::addRawEntry(const QString& owner, const QString& dateText,
                               const QString& stored) {
    Result<Connection> connection = database->open();
    QVERIFY(connection.ok());
    Statement insert = connection->prepare(
        QStringLiteral("INSERT INTO Journals (UserName, Date, Journal, DateCreated, "
                       "LastModified) VALUES (?1, ?2, ?3, ?2, ?2)"));
    insert.bind(1, owner).bind(2, dateText).bind(3, stored);
    QVERIFY(insert.run().ok());
}

void JournalWorld::exec(const QString& sql) {
    Result<Connection> connection = database->open();
    QVERIFY(connection.ok());
    QVERIFY(connection->exec(sql).ok());
}

QList<JournalRow> journalRows(const QString& databasePath) {
    QList<JournalRow> rows;
    DatabaseAccess database(databasePath, PassPhrase());
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return rows;
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT UserName, Date, Journal, DateCreated, LastModified FROM Journals "
                       "ORDER BY Id"));
    while (query.next()) {
        rows.append({query.text(0), query.text(1), query.text(2), query.text(3), query.text(4)});
    }
    return rows;
}

QString failingJournalWrites() {
    return QStringLiteral(
        "CREATE TRIGGER FailingInsert BEFORE INSERT ON Journals BEGIN "
        "SELECT RAISE(ABORT, 'disk I/O error'); END;"
        "CREATE TRIGGER FailingUpdate BEFORE UPDATE ON Journals BEGIN "
        "SELECT RAISE(ABORT, 'disk I/O error'); END;");
}

}  // namespace ks::test
