#include "journal/JournalStore.h"

#include "crypto/FieldCipher.h"
#include "journal/JournalDate.h"
#include "storage/Schema.h"

namespace ks {

namespace {

constexpr qsizetype kShortestEncrypted = 4;
// Days looked up by one statement when marking the days that hold an entry.
constexpr qint64 kDaysPerQuery = 400;

const QString kJournals = QStringLiteral("Journals");

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

Result<JournalDates> ListJournalDates(DatabaseAccess& database, const QString& owner, QDate today) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    JournalDates result;
    std::optional<QDate> first;
    std::optional<QDate> last;
    Statement query = selectOwned(connection.value(), kJournals, QStringLiteral("Date"), owner);
    while (query.next()) {
        const QString text = query.text(0);
        result.dates.append(text);
        // Compared as days; a text that names no day takes no part in the bounds.
        const std::optional<QDate> day = readJournalDate(text);
        if (!day) {
            continue;
        }
        if (!first || *day < *first) {
            first = day;
            result.FirstJournalDate = text;
        }
        if (!last || *day > *last) {
            last = day;
            result.LastJournalDate = text;
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    if (!first) {
        result.FirstJournalDate = result.LastJournalDate = journalDateText(today);
    }
    return result;
}

Result<QSet<QDate>> journalEntryDays(DatabaseAccess& database, const QString& owner, QDate first,
                                     QDate last) {
    QSet<QDate> days;
    if (!first.isValid() || !last.isValid() || last < first) {
        return days;
    }
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    for (QDate from = first; from <= last; from = from.addDays(kDaysPerQuery)) {
        const QDate to = std::min(last, from.addDays(kDaysPerQuery - 1));
        QStringList marks;
        for (qint64 i = 0; i <= from.daysTo(to); ++i) {
            marks.append(QStringLiteral("?%1").arg(i + 2));
        }
        Statement query = connection->prepare(
            QStringLiteral("SELECT Date, Journal FROM Journals WHERE UserName = ?1 AND Date IN "
                           "(%1) ORDER BY Id")
                .arg(marks.join(QLatin1Char(','))));
        query.bind(1, owner);
        for (qint64 i = 0; i <= from.daysTo(to); ++i) {
            query.bind(static_cast<int>(i + 2), journalDateText(from.addDays(i)));
        }
        // The first row of a day is the one its load shows.
        QSet<QString> seen;
        while (query.next()) {
            const QString text = query.text(0);
            if (seen.contains(text)) {
                continue;
            }
            seen.insert(text);
            if (!isBlankJournalText(shownJournalText(query.text(1)))) {
                days.insert(*readJournalDate(text));
            }
        }
        if (!query.status().ok()) {
            return query.status();
        }
    }
    return days;
}

}  // namespace ks
