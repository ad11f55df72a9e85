#include "vault/RecordStore.h"

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

// Any stored value, however short, is decrypted: a value of one or two characters is stored as
// two or four hex digits and is shown like any other. Every character comes back as typed,
// spaces around the value included.
QString decryptStored(const QString& stored) {
    return stored.isEmpty() ? QString() : DecryptFieldKeepingSpaces(stored);
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

}  // namespace

Result<QList<RecordLine>> RecordStore::ListRecords(const QString& owner, const QString& category) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    const bool all = isAllRecords(category);
    Statement query = connection->prepare(
        all ? QStringLiteral(
                  "SELECT Counter, ShortName FROM Logins WHERE KeyUserName = ?1 ORDER BY Counter")
            : QStringLiteral("SELECT Counter, ShortName FROM Logins WHERE KeyUserName = ?1 AND "
                             "Category = ?2 ORDER BY Counter"));
    query.bind(1, owner);
    if (!all) {
        query.bind(2, category);
    }
    QList<RecordLine> lines;
    while (query.next()) {
        lines.append({query.integer(0), shortNames_.plain(query.text(1))});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return lines;
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
    record.fields.shortName = shortNames_.plain(query.text(0));
    record.fields.userName = decryptStored(query.text(1));
    record.fields.password = decryptStored(query.text(2));
    record.fields.description = decryptStored(query.text(3));
    record.fields.notes = decryptStored(query.text(4));
    record.fields.category = query.text(5);
    return std::optional<StoredRecord>(std::move(record));
}

Result<bool> RecordStore::shortNameInUse(Connection& connection, const QString& shortName,
                                         qint64 exceptCounter) {
    const QString wanted = ShortNameCache::comparisonKey(shortName);
    Statement query = connection.prepare(QStringLiteral("SELECT Counter, ShortName FROM Logins"));
    while (query.next()) {
        if (shortNames_.name(query.text(1)).key == wanted && query.integer(0) != exceptCounter) {
            return true;
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return false;
}

std::optional<SaveResult> RecordStore::prepareSave(Connection& connection, const QString& owner,
                                                   const RecordFields& fields,
                                                   const QString& shortName, qint64 exceptCounter,
                                                   PreparedSave& prepared) {
    const Result<bool> inUse = shortNameInUse(connection, shortName, exceptCounter);
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
                                   const CategoryFiling& filing, qint64 counter) {
    SaveResult result;
    result.counter = counter;
    if (filing.addCategory) {
        if (DbStatus status = AddCategory(write.connection(), owner, filing.category);
            !status.ok()) {
            return failed(status);
        }
        result.categoryAdded = true;
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return failed(status);
    }
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
    return finishSave(write, owner, prepared.filing, connection.lastInsertId());
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
    return finishSave(write, owner, prepared.filing, counter);
}

Result<int> RecordStore::DeleteRecord(const QString& owner, qint64 counter) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement remove = connection->prepare(
        QStringLiteral("DELETE FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    remove.bind(1, counter).bind(2, owner);
    if (DbStatus status = remove.run(); !status.ok()) {
        return status;
    }
    return connection->changes();
}

}  // namespace ks
