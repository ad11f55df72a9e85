#include "journal/JournalStore.h"

#include "crypto/FieldCipher.h"
#include "journal/JournalDate.h"
#include "storage/Schema.h"

namespace ks {

namespace {

constexpr qsizetype kShortestEncrypted = 4;
// Hex digits of a stored entry decrypted first when telling whether it is blank (an even count).
constexpr qsizetype kBlankCheckDigits = 64;

// The owner's entry of a day: the first row of that owner and date text, the one a load shows.
// Columns: Id, Journal.
Statement selectDayEntry(Connection& connection, const QString& owner, const QString& dateText) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT Id, Journal FROM Journals WHERE UserName = ?1 AND Date = ?2 "
                       "ORDER BY Id LIMIT 1"));
    query.bind(1, owner).bind(2, dateText);
    return query;
}

}  // namespace

bool tooShortToEncrypt(const QString& text) {
    return text.size() < kShortestEncrypted;
}

QString storedJournalValue(const QString& text) {
    return tooShortToEncrypt(text) ? text : EncryptField(text);
}

QString shownJournalText(const QString& stored) {
    // A stored value of fewer than 4 characters was saved plain (a cipher text of an entry has
    // at least 8), and the cipher must never be given an empty value.
    if (tooShortToEncrypt(stored)) {
        return stored;
    }
    // An entry keeps every character, spaces around it included.
    return DecryptFieldKeepingSpaces(stored);
}

bool isBlankJournalText(const QString& shown) {
    for (const QChar c : shown) {
        if (c != QLatin1Char(' ')) {
            return false;
        }
    }
    return true;
}

bool isBlankStoredJournal(const QString& stored) {
    // The field cipher is a stream from the start of its key stream, two hex digits a byte:
    // the first bytes of the text decrypt alone. Only a start of spaces needs the whole text.
    if (stored.size() > kBlankCheckDigits && !tooShortToEncrypt(stored)) {
        const QString start = shownJournalText(stored.left(kBlankCheckDigits));
        if (!start.isEmpty() && !isBlankJournalText(start)) {
            return false;
        }
    }
    return isBlankJournalText(shownJournalText(stored));
}

Result<std::optional<QString>> LoadJournalEntry(DatabaseAccess& database, const QString& owner,
                                                const QString& dateText) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = selectDayEntry(connection.value(), owner, dateText);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<QString>();
    }
    return std::optional<QString>(shownJournalText(query.text(1)));
}

Result<bool> journalEntryExists(DatabaseAccess& database, const QString& owner,
                                const QString& dateText) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = selectDayEntry(connection.value(), owner, dateText);
    const bool found = query.next();
    if (!query.status().ok()) {
        return query.status();
    }
    return found;
}

Result<bool> writeJournalEntry(DatabaseAccess& database, const QString& owner,
                               const QString& dateText, const QString& storedValue, QDate today) {
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection* connection = &write.connection();
    // Looked up again under the writer's lock: the day keeps at most one row of the owner.
    Statement find = selectDayEntry(*connection, owner, dateText);
    const bool exists = find.next();
    if (!find.status().ok()) {
        return find.status();
    }
    const qint64 id = exists ? find.integer(0) : 0;
    find.reset();
    const QString todayText = journalDateText(today);
    if (exists) {
        Statement update = connection->prepare(
            QStringLiteral("UPDATE Journals SET Journal = ?1, LastModified = ?2 WHERE Id = ?3"));
        update.bind(1, storedValue).bind(2, todayText).bind(3, id);
        if (DbStatus status = update.run(); !status.ok()) {
            return status;
        }
    } else {
        Statement insert = connection->prepare(
            QStringLiteral("INSERT INTO Journals (Journal, DateCreated, LastModified, Date, "
                           "UserName) VALUES (?1, ?2, ?2, ?3, ?4)"));
        insert.bind(1, storedValue).bind(2, todayText).bind(3, dateText).bind(4, owner);
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return !exists;
}

}  // namespace ks
