#include "vault/RecordHistory.h"

#include "core/AccountValues.h"
#include "storage/HistoryRows.h"
#include "storage/Schema.h"
#include "vault/VaultAccount.h"

namespace ks {

namespace {

// The columns a version is read from, in this order, after its own key and times.
const char* const kVersionColumns =
    "Id, Modified, Replaced, Uuid, ShortName, UserName, Password, Description, Notes, Category";

// The version at the query's current row.
RecordVersion versionAt(const Statement& query, const Account& account) {
    RecordVersion version;
    version.id = query.integer(0);
    version.modified = query.integer(1);
    version.replaced = query.integer(2);
    const QByteArray uuid = query.blob(3);
    const auto shown = [&](const ValueColumn& column, int at) {
        const std::optional<QString> value = shownValue(account, column, uuid, query.text(at));
        version.damaged = version.damaged || !value;
        return value.value_or(damagedValueText());
    };
    RecordFields& fields = version.fields;
    fields.shortName = shown(columns::kShortName, 4);
    fields.userName = shown(columns::kRecordUserName, 5);
    fields.password = shown(columns::kPassword, 6);
    fields.description = shown(columns::kDescription, 7);
    fields.notes = shown(columns::kNotes, 8);
    fields.category = shown(columns::kCategory, 9);
    return version;
}

// The Uuid of the account's live record `counter`: nullopt when there is none, empty when the
// record has no identity yet (and so no history).
Result<std::optional<QByteArray>> recordIdentity(Connection& connection, const Account& account,
                                                 qint64 counter) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT Uuid FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2"));
    query.bind(1, counter).bind(2, account.owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<QByteArray>();
    }
    return std::optional<QByteArray>(query.blob(0));
}

}  // namespace

unsigned changedFields(const RecordFields& older, const RecordFields& newer) {
    unsigned changed = 0;
    const auto mark = [&changed](const QString& a, const QString& b, RecordField field) {
        if (a != b) {
            changed |= field;
        }
    };
    mark(older.shortName, newer.shortName, FieldShortName);
    mark(older.userName, newer.userName, FieldUserName);
    mark(older.password, newer.password, FieldPassword);
    mark(older.description, newer.description, FieldDescription);
    mark(older.notes, newer.notes, FieldNotes);
    mark(older.category, newer.category, FieldCategory);
    return changed;
}

Result<QList<RecordVersion>> ListRecordHistory(DatabaseAccess& database, const Account& account,
                                               qint64 counter) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    const Result<std::optional<QByteArray>> uuid =
        recordIdentity(connection.value(), account, counter);
    if (!uuid.ok()) {
        return uuid.status();
    }
    if (!uuid.value() || uuid.value()->isEmpty()) {
        return QList<RecordVersion>();
    }
    const Result<std::optional<StoredRecord>> live =
        RecordStore::readRecord(connection.value(), account, counter);
    if (!live.ok()) {
        return live.status();
    }
    // Through the record's index: the owner's index would walk every version of the owner.
    Statement query = connection->prepare(
        QStringLiteral("SELECT %1 FROM LoginsHistory INDEXED BY LoginsHistoryByRecord WHERE "
                       "Uuid = ?1 AND KeyUserName = ?2 AND Deleted = 0 ORDER BY Replaced DESC, "
                       "Id DESC")
            .arg(QLatin1String(kVersionColumns)));
    query.bindBlob(1, *uuid.value()).bind(2, account.owner);
    QList<RecordVersion> versions;
    RecordFields newer = live.value() ? live.value()->fields : RecordFields();
    while (query.next()) {
        RecordVersion version = versionAt(query, account);
        version.changed = changedFields(version.fields, newer);
        newer = version.fields;
        versions.append(std::move(version));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return versions;
}

Result<std::optional<RecordVersion>> readRecordVersion(Connection& connection,
                                                       const Account& account, qint64 id,
                                                       bool deleted, QByteArray* uuid) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT %1 FROM LoginsHistory WHERE Id = ?1 AND KeyUserName = ?2 AND "
                       "Deleted = ?3")
            .arg(QLatin1String(kVersionColumns)));
    query.bind(1, id).bind(2, account.owner).bind(3, deleted ? 1 : 0);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<RecordVersion>();
    }
    if (uuid) {
        *uuid = query.blob(3);
    }
    return std::optional<RecordVersion>(versionAt(query, account));
}

Result<QList<DeletedRecord>> ListDeletedRecords(DatabaseAccess& database, const Account& account,
                                                const HistorySettings& history) {
    {
        WriteOperation write(database);
        if (!write.ok()) {
            return write.status();
        }
        DbStatus status = ageOutDeletedRecords(write.connection(), account.owner,
                                               history.deletedBefore(rowWriteTime()));
        if (status.ok()) {
            status = write.commit();
        }
        if (!status.ok()) {
            return status;
        }
    }
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT Id, Replaced, Uuid, ShortName, Category FROM LoginsHistory WHERE "
                       "KeyUserName = ?1 AND Deleted = 1 ORDER BY Replaced DESC, Id DESC"));
    query.bind(1, account.owner);
    QList<DeletedRecord> records;
    while (query.next()) {
        const QByteArray uuid = query.blob(2);
        records.append({query.integer(0), query.integer(1),
                        shownOrDamaged(account, columns::kShortName, uuid, query.text(3)),
                        shownOrDamaged(account, columns::kCategory, uuid, query.text(4))});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return records;
}

namespace {

DbStatus writeHistory(DatabaseAccess& database,
                      const std::function<DbStatus(Connection&)>& change) {
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    if (DbStatus status = change(write.connection()); !status.ok()) {
        return status;
    }
    return write.commit();
}

}  // namespace

DbStatus ClearAccountHistory(DatabaseAccess& database, const Account& account) {
    return writeHistory(database, [&](Connection& connection) {
        return clearOwnerHistory(connection, account.owner);
    });
}

DbStatus ApplyHistorySettings(DatabaseAccess& database, const Account& account,
                              const HistorySettings& history) {
    return writeHistory(database, [&](Connection& connection) {
        if (DbStatus status = trimOwnerVersions(connection, account.owner, history.versionsKept);
            !status.ok()) {
            return status;
        }
        return ageOutDeletedRecords(connection, account.owner,
                                    history.deletedBefore(rowWriteTime()));
    });
}

}  // namespace ks
