#include "vault/RecordBatch.h"

#include <QSet>

#include "protection/TextSeal.h"
#include "storage/Schema.h"
#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/ShortNameIndex.h"
#include "vault/VaultAccount.h"

namespace ks {

namespace {

// A short name must be longer than this, as in every save.
constexpr int kBatchShortestRefused = 3;

BatchSaveResult batchFailure(SaveOutcome outcome, int at, const DbStatus& status = {}) {
    BatchSaveResult result;
    result.outcome = outcome;
    result.refusedAt = at;
    result.status = status;
    return result;
}

// Why a short name cannot join the batch; otherwise it is taken from now on.
std::optional<SaveOutcome> refusedBatchName(const QString& shortName, QSet<QString>& names) {
    if (shortName.isEmpty()) {
        return SaveOutcome::ShortNameBlank;
    }
    if (shortName.size() <= kBatchShortestRefused) {
        return SaveOutcome::ShortNameTooShort;
    }
    const QString key = ShortNameIndex::comparisonKey(shortName);
    if (names.contains(key)) {
        return SaveOutcome::ShortNameInUse;
    }
    names.insert(key);
    return std::nullopt;
}

bool sealedOrEncrypted(const Account& account, const QByteArray& uuid, const RecordFields& fields,
                       const QString& shortName, const QString& category, EncryptedFields& out) {
    const auto into = [&](const ValueColumn& column, const QString& value, QString& stored) {
        std::optional<QString> made = storedValue(account, column, uuid, value);
        if (!made) {
            return false;
        }
        stored = *std::move(made);
        return true;
    };
    namespace c = columns;
    return into(c::kShortName, shortName, out.shortName) &&
           into(c::kRecordUserName, fields.userName, out.userName) &&
           into(c::kPassword, fields.password, out.password) &&
           into(c::kDescription, fields.description, out.description) &&
           into(c::kNotes, fields.notes, out.notes) && into(c::kCategory, category, out.category);
}

}  // namespace

Result<QList<StoredRecord>> readAccountRecords(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(QStringLiteral(
        "SELECT Counter, ShortName, UserName, Password, Description, Notes, Category, Uuid "
        "FROM Logins WHERE KeyUserName = ?1 ORDER BY Counter"));
    query.bind(1, account.owner);
    QList<StoredRecord> records;
    while (query.next()) {
        const QByteArray uuid = query.blob(7);
        const auto shown = [&](const ValueColumn& column, int at) {
            return shownOrDamaged(account, column, uuid, query.text(at));
        };
        StoredRecord record;
        record.counter = query.integer(0);
        record.fields = {shown(columns::kShortName, 1), shown(columns::kRecordUserName, 2),
                         shown(columns::kPassword, 3),  shown(columns::kDescription, 4),
                         shown(columns::kNotes, 5),     shown(columns::kCategory, 6)};
        records.append(std::move(record));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return records;
}

Result<QStringList> readTakenShortNames(Connection& connection, const Account& account) {
    // Nobody else's sealed names can be read; a protected account's own are checked alone.
    Statement query = connection.prepare(
        account.isProtected()
            ? QStringLiteral("SELECT ShortName, Uuid FROM Logins WHERE KeyUserName = ?1")
            : QStringLiteral("SELECT ShortName, Uuid FROM Logins"));
    if (account.isProtected()) {
        query.bind(1, account.owner);
    }
    QStringList names;
    while (query.next()) {
        const QString stored = query.text(0);
        if (!account.isProtected() && stored.startsWith(kSealedTextPrefix)) {
            continue;
        }
        if (std::optional<QString> name =
                shownValue(account, columns::kShortName, query.blob(1), stored)) {
            names.append(*std::move(name));
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return names;
}

Result<QStringList> readTakenShortNames(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return readTakenShortNames(connection.value(), account);
}

BatchSaveResult createRecords(DatabaseAccess& database, const Account& account,
                              const QList<RecordFields>& records) {
    WriteOperation write(database);
    if (!write.ok()) {
        return batchFailure(SaveOutcome::DatabaseFailed, -1, write.status());
    }
    Connection& connection = write.connection();
    // Checked again under the writer's lock: what was planned may have been taken meanwhile.
    const Result<QStringList> taken = readTakenShortNames(connection, account);
    const Result<QStringList> categories = visibleCategories(connection, account);
    if (!taken.ok() || !categories.ok()) {
        return batchFailure(SaveOutcome::DatabaseFailed, -1,
                            taken.ok() ? categories.status() : taken.status());
    }
    QSet<QString> names;
    for (const QString& name : taken.value()) {
        names.insert(ShortNameIndex::comparisonKey(name));
    }
    QStringList visible = categories.value();
    BatchSaveResult result;
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO Logins (KeyUserName, ShortName, UserName, Password, Description, Notes, "
        "Category, Uuid, Modified) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"));
    for (int at = 0; at < records.size(); ++at) {
        const RecordFields& fields = records[at];
        const QString shortName = fields.shortName.trimmed();
        if (const std::optional<SaveOutcome> refused = refusedBatchName(shortName, names)) {
            return batchFailure(*refused, at);
        }
        const CategoryFiling filing = fileUnder(fields.category, visible);
        if (filing.addCategory) {
            if (DbStatus status = AddCategory(connection, account, filing.category); !status.ok()) {
                return batchFailure(SaveOutcome::DatabaseFailed, at, status);
            }
            visible.append(filing.category);
            result.categoriesAdded.append(filing.category);
        }
        const QByteArray uuid = newRowUuid();
        EncryptedFields stored;
        if (!sealedOrEncrypted(account, uuid, fields, shortName, filing.category, stored)) {
            return batchFailure(SaveOutcome::NotEncrypted, at);
        }
        insert.reset();
        insert.bind(1, account.owner).bind(2, stored.shortName).bind(3, stored.userName);
        insert.bind(4, stored.password).bind(5, stored.description).bind(6, stored.notes);
        insert.bind(7, stored.category).bindBlob(8, uuid).bind(9, rowWriteTime());
        if (DbStatus status = insert.run(); !status.ok()) {
            return batchFailure(SaveOutcome::DatabaseFailed, at, status);
        }
        ++result.created;
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return batchFailure(SaveOutcome::DatabaseFailed, -1, status);
    }
    return result;
}

}  // namespace ks
