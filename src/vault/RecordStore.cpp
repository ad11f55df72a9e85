#include "vault/RecordStore.h"

#include <algorithm>
#include <iterator>

#include "core/TextFolding.h"
#include "crypto/FieldCipher.h"
#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/VaultNames.h"

namespace ks {

namespace {

// A short name must be longer than this, when a record is created and when it is edited.
constexpr int kLongestRefusedShortName = 3;
// No record has this Counter: the database numbers rows from 1.
constexpr qint64 kNoRecord = 0;

// Encrypts one value; false when the cipher failed on a non-empty value.
bool encryptInto(const QString& value, QString& stored) {
    if (value.isEmpty()) {
        stored.clear();
        return true;
    }
    stored = EncryptField(value);
    return !stored.isEmpty();
}

bool encryptAll(const RecordFields& fields, const QString& shortName, EncryptedFields& out) {
    return encryptInto(shortName, out.shortName) && encryptInto(fields.userName, out.userName) &&
           encryptInto(fields.password, out.password) &&
           encryptInto(fields.description, out.description) && encryptInto(fields.notes, out.notes);
}

SaveResult failed(const DbStatus& status) {
    SaveResult result;
    result.outcome = SaveOutcome::DatabaseFailed;
    result.status = status;
    return result;
}

SaveResult outcome(SaveOutcome what) {
    SaveResult result;
    result.outcome = what;
    return result;
}

// The one rule for a short name, at creation and at edit alike (compared trimmed).
std::optional<SaveResult> refusedShortName(const QString& shortName) {
    if (shortName.isEmpty()) {
        return outcome(SaveOutcome::ShortNameBlank);
    }
    if (shortName.size() <= kLongestRefusedShortName) {
        return outcome(SaveOutcome::ShortNameTooShort);
    }
    return std::nullopt;
}

// The lines of one category, or all of them for the all-records entry.
QList<RecordLine> inCategory(const QList<RecordLine>& all, const QString& category) {
    if (isAllRecords(category)) {
        return all;
    }
    const auto inIt = [&category](const RecordLine& line) { return line.category == category; };
    QList<RecordLine> lines;
    lines.reserve(std::count_if(all.cbegin(), all.cend(), inIt));
    std::copy_if(all.cbegin(), all.cend(), std::back_inserter(lines), inIt);
    return lines;
}

}  // namespace

Result<QList<RecordLine>> RecordStore::ListRecords(const QString& owner, const QString& category,
                                                   const QString& search) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    const Result<QList<RecordLine>> all = listing_.lines(connection.value(), owner);
    if (!all.ok()) {
        return all;
    }
    if (search.isEmpty()) {
        return inCategory(all.value(), category);
    }
    return searchIn(connection.value(), owner, category, all.value(), search);
}

Result<QList<RecordLine>> RecordStore::searchIn(Connection& connection, const QString& owner,
                                                const QString& category,
                                                const QList<RecordLine>& all,
                                                const QString& search) {
    if (DbStatus status = search_.prepare(connection, owner); !status.ok()) {
        return status;
    }
    const QString folded = foldedForSearch(search);
    const LastSearch& last = lastSearch_;
    const bool narrower = last.owner == owner && last.category == category &&
                          last.listing == listing_.generation() &&
                          last.texts == search_.generation() && folded.contains(last.folded);
    QList<RecordLine> found =
        search_.matching(narrower ? last.found : inCategory(all, category), folded);
    lastSearch_ = {owner, category, folded, listing_.generation(), search_.generation(), found};
    return found;
}

Result<bool> RecordStore::ReadSearchAhead(const QString& owner, int rows) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return search_.readAhead(connection.value(), owner, rows);
}

Result<bool> RecordStore::ReadShortNamesAhead(int rows) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return index_.readAhead(connection.value(), rows);
}

Result<std::optional<StoredRecord>> RecordStore::ShowRecord(const QString& owner, qint64 counter) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT ShortName, UserName, Password, Description, Notes, Category FROM "
                       "Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    query.bind(1, counter).bind(2, owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<StoredRecord>();
    }
    StoredRecord record;
    record.counter = counter;
    record.fields.shortName = DecryptStored(query.text(0));
    record.fields.userName = DecryptStoredKeepingSpaces(query.text(1));
    record.fields.password = DecryptStoredKeepingSpaces(query.text(2));
    record.fields.description = DecryptStoredKeepingSpaces(query.text(3));
    record.fields.notes = DecryptStoredKeepingSpaces(query.text(4));
    record.fields.category = query.text(5);
    return std::optional<StoredRecord>(std::move(record));
}

std::optional<SaveResult> RecordStore::prepareSave(Connection& connection, const QString& owner,
                                                   const RecordFields& fields,
                                                   const QString& shortName, qint64 exceptCounter,
                                                   PreparedSave& prepared) {
    prepared.listingCurrent = listing_.isCurrent(connection, owner);
    prepared.searchCurrent = search_.isCurrent(connection, owner);
    const Result<bool> inUse = index_.inUse(connection, shortName, exceptCounter);
    if (!inUse.ok()) {
        return failed(inUse.status());
    }
    if (inUse.value()) {
        return outcome(SaveOutcome::ShortNameInUse);
    }
    const Result<QStringList> categories = visibleCategories(connection, owner);
    if (!categories.ok()) {
        return failed(categories.status());
    }
    prepared.filing = fileUnder(fields.category, categories.value());
    if (!encryptAll(fields, shortName, prepared.stored)) {
        return outcome(SaveOutcome::NotEncrypted);
    }
    return std::nullopt;
}

SaveResult RecordStore::finishSave(WriteOperation& write, const QString& owner,
                                   const RecordFields& fields, const PreparedSave& prepared,
                                   qint64 counter, const QString& shortName) {
    const CategoryFiling& filing = prepared.filing;
    SaveResult result;
    result.counter = counter;
    if (filing.addCategory) {
        if (DbStatus status = AddCategory(write.connection(), owner, filing.category);
            !status.ok()) {
            return failed(status);
        }
        result.categoryAdded = true;
    }
    // Taken while the writer's lock still keeps every other writer out.
    const Connection::ChangeStamp written = write.connection().changeStamp();
    if (DbStatus status = write.commit(); !status.ok()) {
        return failed(status);
    }
    index_.saved(written, counter, shortName);
    const QString shown = DecryptStored(prepared.stored.shortName);
    listing_.saved(written, prepared.listingCurrent, {counter, shown, filing.category});
    search_.saved(written, prepared.searchCurrent, counter, shown, fields.userName,
                  fields.description);
    return result;
}

SaveResult RecordStore::CreateRecord(const QString& owner, const RecordFields& fields) {
    const QString shortName = fields.shortName.trimmed();
    if (std::optional<SaveResult> refused = refusedShortName(shortName)) {
        return *refused;
    }
    WriteOperation write(database_);
    if (!write.ok()) {
        return failed(write.status());
    }
    Connection& connection = write.connection();
    PreparedSave prepared;
    if (std::optional<SaveResult> refused =
            prepareSave(connection, owner, fields, shortName, kNoRecord, prepared)) {
        return *refused;
    }
    const EncryptedFields& stored = prepared.stored;
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, "
                       "Description, Notes, Category) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
    insert.bind(1, owner).bind(2, stored.shortName).bind(3, stored.userName);
    insert.bind(4, stored.password).bind(5, stored.description).bind(6, stored.notes);
    insert.bind(7, prepared.filing.category);
    if (DbStatus status = insert.run(); !status.ok()) {
        return failed(status);
    }
    return finishSave(write, owner, fields, prepared, connection.lastInsertId(), shortName);
}

SaveResult RecordStore::UpdateRecord(const QString& owner, qint64 counter,
                                     const RecordFields& fields) {
    const QString shortName = fields.shortName.trimmed();
    if (std::optional<SaveResult> refused = refusedShortName(shortName)) {
        return *refused;
    }
    WriteOperation write(database_);
    if (!write.ok()) {
        return failed(write.status());
    }
    Connection& connection = write.connection();
    Statement exists = connection.prepare(
        QStringLiteral("SELECT count(*) FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    exists.bind(1, counter).bind(2, owner);
    if (!exists.next()) {
        return failed(exists.status());
    }
    if (exists.integer(0) == 0) {
        return outcome(SaveOutcome::NotFound);
    }
    PreparedSave prepared;
    if (std::optional<SaveResult> refused =
            prepareSave(connection, owner, fields, shortName, counter, prepared)) {
        return *refused;
    }
    const EncryptedFields& stored = prepared.stored;
    // The owner is never changed by an edit.
    Statement update = connection.prepare(QStringLiteral(
        "UPDATE Logins SET ShortName = ?1, Description = ?2, Notes = ?3, UserName = ?4, "
        "Password = ?5, Category = ?6 WHERE Counter = ?7 AND KeyUserName = ?8"));
    update.bind(1, stored.shortName).bind(2, stored.description).bind(3, stored.notes);
    update.bind(4, stored.userName).bind(5, stored.password).bind(6, prepared.filing.category);
    update.bind(7, counter).bind(8, owner);
    if (DbStatus status = update.run(); !status.ok()) {
        return failed(status);
    }
    return finishSave(write, owner, fields, prepared, counter, shortName);
}

Result<int> RecordStore::DeleteRecord(const QString& owner, qint64 counter) {
    // Under the writer's lock, so that what the kept lists knew before is what they follow.
    WriteOperation write(database_);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    const bool indexCurrent = index_.isCurrent(connection);
    const bool listingCurrent = listing_.isCurrent(connection, owner);
    const bool searchCurrent = search_.isCurrent(connection, owner);
    Statement remove = connection.prepare(
        QStringLiteral("DELETE FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    remove.bind(1, counter).bind(2, owner);
    if (DbStatus status = remove.run(); !status.ok()) {
        return status;
    }
    const int removed = connection.changes();
    const Connection::ChangeStamp written = connection.changeStamp();
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    if (removed > 0) {
        index_.removed(written, indexCurrent, counter);
        listing_.removed(written, listingCurrent, counter);
        search_.removed(written, searchCurrent, counter);
    }
    return removed;
}

}  // namespace ks
