#include "journal/JournalStore.h"

#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "journal/JournalDate.h"
#include "storage/Schema.h"

namespace ks {

namespace {

constexpr qsizetype kShortestEncrypted = 4;
// Hex digits of a stored entry decrypted first when telling whether it is blank (an even count).
constexpr qsizetype kBlankCheckDigits = 64;

// The owner's entry of a day: the first row of that owner and date text, the one a load shows.
// Columns: Id, Journal, Uuid.
Statement selectDayEntry(Connection& connection, const QString& owner, const QString& dateText) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT Id, Journal, Uuid FROM Journals WHERE UserName = ?1 AND Date = ?2 "
                       "ORDER BY Id LIMIT 1"));
    query.bind(1, owner).bind(2, dateText);
    return query;
}

// The stored value of an entry for the row of that identity; nullopt when it cannot be made.
using StoredEntry = std::function<std::optional<QString>(const QByteArray& rowUuid)>;

// Writes the owner's entry of the day in one transaction: the existing row of the day gets the
// new value, `LastModified` and its time of last write; without one a new row is added.
Result<bool> writeEntry(DatabaseAccess& database, const QString& owner, const QString& dateText,
                        const StoredEntry& storedOf, QDate today, const JournalKeeping& keeping) {
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
    QByteArray uuid = exists ? find.blob(2) : QByteArray();
    find.reset();
    if (uuid.isEmpty()) {
        uuid = newRowUuid();
    }
    const std::optional<QString> stored = storedOf(uuid);
    if (!stored) {
        return DbStatus{DbCode::Failed, QStringLiteral("the entry could not be sealed")};
    }
    const qint64 now = rowWriteTime();
    if (exists) {
        if (DbStatus status = keepReplacedEntry(*connection, id, owner, uuid, now, keeping);
            !status.ok()) {
            return status;
        }
    }
    const QString todayText = journalDateText(today);
    Statement statement = connection->prepare(
        exists ? QStringLiteral("UPDATE Journals SET Journal = ?1, LastModified = ?2, Uuid = ?3, "
                                "Modified = ?4 WHERE Id = ?5")
               : QStringLiteral("INSERT INTO Journals (Journal, DateCreated, LastModified, Uuid, "
                                "Modified, Date, UserName) VALUES (?1, ?2, ?2, ?3, ?4, ?5, ?6)"));
    statement.bind(1, *stored).bind(2, todayText).bindBlob(3, uuid).bind(4, now);
    if (exists) {
        statement.bind(5, id);
    } else {
        statement.bind(5, dateText).bind(6, owner);
    }
    if (DbStatus status = statement.run(); !status.ok()) {
        return status;
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return !exists;
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

std::optional<QString> shownJournalText(const Account& account, QByteArrayView rowUuid,
                                        const QString& stored) {
    if (!account.isProtected()) {
        return shownJournalText(stored);
    }
    return shownValue(account, columns::kJournalText, rowUuid, stored);
}

Result<std::optional<QString>> LoadJournalEntry(DatabaseAccess& database, const Account& account,
                                                const QString& dateText) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = selectDayEntry(connection.value(), account.owner, dateText);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<QString>();
    }
    return std::optional<QString>(
        shownJournalText(account, query.blob(2), query.text(1)).value_or(damagedValueText()));
}

Result<bool> journalEntryExists(DatabaseAccess& database, const Account& account,
                                const QString& dateText) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = selectDayEntry(connection.value(), account.owner, dateText);
    const bool found = query.next();
    if (!query.status().ok()) {
        return query.status();
    }
    return found;
}

Result<bool> writeJournalEntry(DatabaseAccess& database, const QString& owner,
                               const QString& dateText, const QString& storedValue, QDate today,
                               const JournalKeeping& keeping) {
    return writeEntry(
        database, owner, dateText, [&storedValue](const QByteArray&) { return storedValue; }, today,
        keeping);
}

Result<bool> writeSealedJournalEntry(DatabaseAccess& database, const Account& account,
                                     const QString& dateText, const QString& text, QDate today,
                                     const JournalKeeping& keeping) {
    return writeEntry(
        database, account.owner, dateText,
        [&](const QByteArray& uuid) {
            return storedValue(account, columns::kJournalText, uuid, text);
        },
        today, keeping);
}

}  // namespace ks
