#include "vault/RecordStore.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/TextFolding.h"
#include "crypto/FieldCipher.h"
#include "storage/Schema.h"
#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/VaultNames.h"

namespace ks {

namespace {

// A short name must be longer than this, when a record is created and when it is edited.
constexpr int kLongestRefusedShortName = 3;
// No record has this Counter: the database numbers rows from 1.
constexpr qint64 kNoRecord = 0;

// The stored form of one value; false when the cipher failed on it.
bool encryptInto(const Account& account, const ValueColumn& column, const QByteArray& uuid,
                 const QString& value, QString& stored) {
    std::optional<QString> encrypted = storedValue(account, column, uuid, value);
    if (!encrypted) {
        return false;
    }
    stored = *std::move(encrypted);
    return true;
}

bool encryptAll(const Account& account, const QByteArray& uuid, const RecordFields& fields,
                const QString& shortName, const QString& category, EncryptedFields& out) {
    namespace c = columns;
    return encryptInto(account, c::kShortName, uuid, shortName, out.shortName) &&
           encryptInto(account, c::kRecordUserName, uuid, fields.userName, out.userName) &&
           encryptInto(account, c::kPassword, uuid, fields.password, out.password) &&
           encryptInto(account, c::kDescription, uuid, fields.description, out.description) &&
           encryptInto(account, c::kNotes, uuid, fields.notes, out.notes) &&
           encryptInto(account, c::kCategory, uuid, category, out.category);
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

// The lines of one category, or all of them for the all-records entry.
QList<RecordLine> inCategory(const ListedRecords& all, const QString& category) {
    if (isAllRecords(category)) {
        return all.lines;
    }
    if (all.sealed) {
        all.sealed->openAllCategories();
    }
    const auto inIt = [&](const RecordLine& line) { return all.category(line) == category; };
    QList<RecordLine> lines;
    lines.reserve(std::count_if(all.lines.cbegin(), all.lines.cend(), inIt));
    std::copy_if(all.lines.cbegin(), all.lines.cend(), std::back_inserter(lines), inIt);
    return lines;
}

}  // namespace

std::optional<SaveResult> RecordStore::refusedShortName(const QString& shortName) {
    if (shortName.isEmpty()) {
        return outcome(SaveOutcome::ShortNameBlank);
    }
    if (shortName.size() <= kLongestRefusedShortName) {
        return outcome(SaveOutcome::ShortNameTooShort);
    }
    return std::nullopt;
}

Result<QList<RecordLine>> RecordStore::ListRecords(const Account& account, const QString& category,
                                                   const QString& search) {
    const Result<ListedRecords> listed = ListRecordLines(account, category, search);
    if (!listed.ok()) {
        return listed.status();
    }
    return listed.value().opened();
}

Result<ListedRecords> RecordStore::ListRecordLines(const Account& account, const QString& category,
                                                   const QString& search, int searchWaitMs) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    const Result<ListedRecords> all = listing_.lines(connection.value(), account);
    if (!all.ok()) {
        return all;
    }
    if (search.isEmpty()) {
        return ListedRecords{inCategory(all.value(), category), all.value().sealed};
    }
    bool unfinished = false;
    const Result<QList<RecordLine>> found = searchIn(connection.value(), account, category,
                                                     all.value(), search, searchWaitMs, unfinished);
    if (!found.ok()) {
        return found.status();
    }
    return ListedRecords{found.value(), all.value().sealed, unfinished};
}

Result<QList<RecordLine>> RecordStore::searchIn(Connection& connection, const Account& account,
                                                const QString& category, const ListedRecords& all,
                                                const QString& search, int waitMs,
                                                bool& unfinished) {
    const QString folded = foldedForSearch(search);
    if (waitMs >= 0) {
        const Result<bool> read = search_.readWithin(connection, account, waitMs);
        if (!read.ok()) {
            return read.status();
        }
        if (!read.value()) {
            unfinished = true;
            return search_.matchingSoFar(inCategory(all, category), folded);
        }
    } else if (DbStatus status = search_.prepare(connection, account); !status.ok()) {
        return status;
    }
    const LastSearch& last = lastSearch_;
    const bool narrower = last.account.is(account) && last.category == category &&
                          last.listing == listing_.generation() &&
                          last.texts == search_.generation() && folded.contains(last.folded);
    QList<RecordLine> found =
        search_.matching(narrower ? last.found : inCategory(all, category), folded);
    lastSearch_ = {{}, category, folded, listing_.generation(), search_.generation(), found};
    lastSearch_.account.set(account);
    return found;
}

Result<bool> RecordStore::ReadSearchAhead(const Account& account, int rows) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return search_.readAhead(connection.value(), account, rows);
}

Result<bool> RecordStore::ReadShortNamesAhead(int rows, const Account& account) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return indexFor(account).readAhead(connection.value(), account, rows);
}

Result<std::optional<StoredRecord>> RecordStore::ShowRecord(const Account& account,
                                                            qint64 counter) {
    Result<Connection> connection = database_.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return readRecord(connection.value(), account, counter);
}

Result<std::optional<StoredRecord>> RecordStore::readRecord(Connection& connection,
                                                            const Account& account,
                                                            qint64 counter) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT ShortName, UserName, Password, Description, Notes, Category, Uuid "
                       "FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    query.bind(1, counter).bind(2, account.owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<StoredRecord>();
    }
    const QByteArray uuid = query.blob(6);
    const auto shown = [&](const ValueColumn& column, int at) {
        return shownOrDamaged(account, column, uuid, query.text(at));
    };
    StoredRecord record;
    record.counter = counter;
    record.fields.shortName = shown(columns::kShortName, 0);
    record.fields.userName = shown(columns::kRecordUserName, 1);
    record.fields.password = shown(columns::kPassword, 2);
    record.fields.description = shown(columns::kDescription, 3);
    record.fields.notes = shown(columns::kNotes, 4);
    record.fields.category = shown(columns::kCategory, 5);
    return std::optional<StoredRecord>(std::move(record));
}

std::optional<SaveResult> RecordStore::prepareSave(Connection& connection, const Account& account,
                                                   const RecordFields& fields,
                                                   const QString& shortName, qint64 exceptCounter,
                                                   PreparedSave& prepared) {
    prepared.listingCurrent = listing_.isCurrent(connection, account);
    prepared.searchFollowed = search_.following(connection, account);
    const Result<bool> inUse =
        indexFor(account).inUse(connection, account, shortName, exceptCounter);
    if (!inUse.ok()) {
        return failed(inUse.status());
    }
    if (inUse.value()) {
        return outcome(SaveOutcome::ShortNameInUse);
    }
    const Result<QStringList> categories = visibleCategories(connection, account);
    if (!categories.ok()) {
        return failed(categories.status());
    }
    prepared.filing = fileUnder(fields.category, categories.value());
    if (!encryptAll(account, prepared.uuid, fields, shortName, prepared.filing.category,
                    prepared.stored)) {
        return outcome(SaveOutcome::NotEncrypted);
    }
    return std::nullopt;
}

SaveResult RecordStore::finishSave(WriteOperation& write, const Account& account,
                                   const RecordFields& fields, const PreparedSave& prepared,
                                   qint64 counter, const QString& shortName) {
    const CategoryFiling& filing = prepared.filing;
    SaveResult result;
    result.counter = counter;
    if (filing.addCategory) {
        if (DbStatus status = AddCategory(write.connection(), account, filing.category);
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
    indexFor(account).saved(written, counter, shortName);
    // The name as the listing reads it back.
    const QString shown =
        account.isProtected() ? shortName : DecryptStored(prepared.stored.shortName);
    listing_.saved(written, prepared.listingCurrent, {counter, shown, filing.category});
    search_.saved(written, prepared.searchFollowed, counter, shown, fields.userName,
                  fields.description);
    return result;
}

SaveResult RecordStore::CreateRecord(const Account& account, const RecordFields& fields) {
    const QString shortName = fields.shortName.trimmed();
    if (std::optional<SaveResult> refused = refusedShortName(shortName)) {
        return *refused;
    }
    WriteOperation write(database_);
    if (!write.ok()) {
        return failed(write.status());
    }
    return insertRecord(write, account, fields, shortName, newRowUuid());
}

SaveResult RecordStore::insertRecord(WriteOperation& write, const Account& account,
                                     const RecordFields& fields, const QString& shortName,
                                     const QByteArray& uuid) {
    Connection& connection = write.connection();
    PreparedSave prepared;
    prepared.uuid = uuid;
    if (std::optional<SaveResult> refused =
            prepareSave(connection, account, fields, shortName, kNoRecord, prepared)) {
        return *refused;
    }
    const EncryptedFields& stored = prepared.stored;
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, Description, Notes, "
        "Category, Uuid, Modified) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"));
    insert.bind(1, account.owner).bind(2, stored.shortName).bind(3, stored.userName);
    insert.bind(4, stored.password).bind(5, stored.description).bind(6, stored.notes);
    insert.bind(7, stored.category).bindBlob(8, prepared.uuid).bind(9, rowWriteTime());
    if (DbStatus status = insert.run(); !status.ok()) {
        return failed(status);
    }
    return finishSave(write, account, fields, prepared, connection.lastInsertId(), shortName);
}

void RecordStore::keepDamaged(const Account& account, const EncryptedFields& current,
                              const QString& shortName, const RecordFields& typed,
                              PreparedSave& prepared) {
    struct Field {
        const ValueColumn& column;
        const QString& typed;
        const QString& current;
        QString& stored;
    };
    EncryptedFields& out = prepared.stored;
    const std::array fields{
        Field{columns::kShortName, shortName, current.shortName, out.shortName},
        Field{columns::kRecordUserName, typed.userName, current.userName, out.userName},
        Field{columns::kPassword, typed.password, current.password, out.password},
        Field{columns::kDescription, typed.description, current.description, out.description},
        Field{columns::kNotes, typed.notes, current.notes, out.notes},
        Field{columns::kCategory, typed.category, current.category, out.category}};
    const QString damaged = damagedValueText();
    for (const Field& field : fields) {
        if (field.typed == damaged &&
            !shownValue(account, field.column, prepared.uuid, field.current)) {
            field.stored = field.current;
        }
    }
    if (out.category == current.category) {
        prepared.filing = {damaged, false};  // the record stays where it was, no category added
    }
}

SaveResult RecordStore::UpdateRecord(const Account& account, qint64 counter,
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
    Statement exists = connection.prepare(QStringLiteral(
        "SELECT Uuid, ShortName, UserName, Password, Description, Notes, Category FROM Logins "
        "WHERE Counter = ?1 AND KeyUserName = ?2"));
    exists.bind(1, counter).bind(2, account.owner);
    if (!exists.next()) {
        return exists.status().ok() ? outcome(SaveOutcome::NotFound) : failed(exists.status());
    }
    PreparedSave prepared;
    prepared.uuid = exists.blob(0);
    const EncryptedFields current{exists.text(1), exists.text(2), exists.text(3),
                                  exists.text(4), exists.text(5), exists.text(6)};
    if (std::optional<SaveResult> refused =
            prepareSave(connection, account, fields, shortName, counter, prepared)) {
        return *refused;
    }
    if (account.isProtected()) {
        keepDamaged(account, current, shortName, fields, prepared);
    }
    if (DbStatus status =
            keepReplaced(connection, account, counter, current, prepared, shortName, fields);
        !status.ok()) {
        return failed(status);
    }
    const EncryptedFields& stored = prepared.stored;
    // The owner is never changed by an edit, nor the row's identity.
    Statement update = connection.prepare(QStringLiteral(
        "UPDATE Logins SET ShortName = ?1, Description = ?2, Notes = ?3, UserName = ?4, "
        "Password = ?5, Category = ?6, Modified = ?7 WHERE Counter = ?8 AND KeyUserName = ?9"));
    update.bind(1, stored.shortName).bind(2, stored.description).bind(3, stored.notes);
    update.bind(4, stored.userName).bind(5, stored.password).bind(6, stored.category);
    update.bind(7, rowWriteTime()).bind(8, counter).bind(9, account.owner);
    if (DbStatus status = update.run(); !status.ok()) {
        return failed(status);
    }
    return finishSave(write, account, fields, prepared, counter, shortName);
}

Result<int> RecordStore::DeleteRecord(const Account& account, qint64 counter) {
    // Under the writer's lock, so that what the kept lists knew before is what they follow.
    WriteOperation write(database_);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    ShortNameIndex& index = indexFor(account);
    const bool indexCurrent = index.isCurrent(connection, account);
    const bool listingCurrent = listing_.isCurrent(connection, account);
    const RecordSearch::Followed searchFollowed = search_.following(connection, account);
    if (DbStatus status = keepDeleted(connection, account, counter); !status.ok()) {
        return status;
    }
    Statement remove = connection.prepare(
        QStringLiteral("DELETE FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    remove.bind(1, counter).bind(2, account.owner);
    if (DbStatus status = remove.run(); !status.ok()) {
        return status;
    }
    const int removed = connection.changes();
    const Connection::ChangeStamp written = connection.changeStamp();
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    if (removed > 0) {
        index.removed(written, indexCurrent, counter);
        listing_.removed(written, listingCurrent, counter);
        search_.removed(written, searchFollowed, counter);
    }
    return removed;
}

}  // namespace ks
