// The record store's part in history: what a save or a deletion keeps, and the restores.
#include <array>

#include "core/AccountValues.h"
#include "storage/HistoryRows.h"
#include "storage/Schema.h"
#include "storage/Tombstones.h"
#include "vault/RecordHistory.h"
#include "vault/RecordStore.h"

namespace ks {

namespace {

SaveResult restoreFailed(const DbStatus& status) {
    SaveResult result;
    result.outcome = SaveOutcome::DatabaseFailed;
    result.status = status;
    return result;
}

SaveResult restoreOutcome(SaveOutcome what) {
    SaveResult result;
    result.outcome = what;
    return result;
}

// Whether a save writes the values the record holds already: then it keeps no version. The
// shared cipher gives equal texts for equal values; a protected account's values are compared
// opened, as they are sealed anew at every save.
bool writesSameValues(const Account& account, const QByteArray& uuid,
                      const EncryptedFields& current, const EncryptedFields& stored,
                      const RecordFields& plain) {
    struct Value {
        const ValueColumn& column;
        const QString& current;
        const QString& stored;
        const QString& plain;
    };
    const std::array values{
        Value{columns::kShortName, current.shortName, stored.shortName, plain.shortName},
        Value{columns::kRecordUserName, current.userName, stored.userName, plain.userName},
        Value{columns::kPassword, current.password, stored.password, plain.password},
        Value{columns::kDescription, current.description, stored.description, plain.description},
        Value{columns::kNotes, current.notes, stored.notes, plain.notes},
        Value{columns::kCategory, current.category, stored.category, plain.category}};
    for (const Value& value : values) {
        if (value.current != value.stored &&
            (!account.isProtected() ||
             shownValue(account, value.column, uuid, value.current) != value.plain)) {
            return false;
        }
    }
    return true;
}

}  // namespace

const HistorySettings& RecordStore::history() const {
    static const HistorySettings defaults;
    return history_ ? *history_ : defaults;
}

DbStatus RecordStore::keepReplaced(Connection& connection, const Account& account, qint64 counter,
                                   const EncryptedFields& current, const PreparedSave& prepared,
                                   const QString& shortName, const RecordFields& fields) {
    const int kept = history().versionsKept;
    RecordFields plain = fields;
    plain.shortName = shortName;
    plain.category = prepared.filing.category;
    if (kept > 0 && !prepared.uuid.isEmpty() &&
        writesSameValues(account, prepared.uuid, current, prepared.stored, plain)) {
        return trimVersions(connection, HistoryOf::Records, prepared.uuid, kept);
    }
    return keepReplacedVersion(connection, HistoryOf::Records, counter, account.owner,
                               prepared.uuid, rowWriteTime(), kept);
}

DbStatus RecordStore::keepDeleted(Connection& connection, const Account& account, qint64 counter) {
    const qint64 now = rowWriteTime();
    if (DbStatus status =
            keepVersion(connection, HistoryOf::Records, counter, account.owner, now, true);
        !status.ok()) {
        return status;
    }
    TombstoneWriter tombstones(connection, QStringLiteral("Logins"));
    if (DbStatus status = tombstones.leaveFor(counter, account.owner, now); !status.ok()) {
        return status;
    }
    return ageOutDeletedRecords(connection, account.owner, history().deletedBefore(now));
}

SaveResult RecordStore::RestoreVersion(const Account& account, qint64 counter, qint64 versionId) {
    RecordFields fields;
    {
        Result<Connection> connection = database_.open();
        if (!connection.ok()) {
            return restoreFailed(connection.status());
        }
        QByteArray uuid;
        const Result<std::optional<RecordVersion>> version =
            readRecordVersion(connection.value(), account, versionId, false, &uuid);
        if (!version.ok()) {
            return restoreFailed(version.status());
        }
        Statement live = connection->prepare(QStringLiteral(
            "SELECT count(*) FROM Logins WHERE Counter = ?1 AND KeyUserName = ?2 AND Uuid = ?3"));
        live.bind(1, counter).bind(2, account.owner).bindBlob(3, uuid);
        if (!live.next()) {
            return restoreFailed(live.status());
        }
        if (!version.value() || uuid.isEmpty() || live.integer(0) != 1) {
            return restoreOutcome(SaveOutcome::NotFound);
        }
        if (version.value()->damaged) {
            return restoreOutcome(SaveOutcome::VersionDamaged);
        }
        fields = version.value()->fields;
    }
    return UpdateRecord(account, counter, fields);
}

SaveResult RecordStore::RestoreDeletedRecord(const Account& account, qint64 versionId) {
    WriteOperation write(database_);
    if (!write.ok()) {
        return restoreFailed(write.status());
    }
    Connection& connection = write.connection();
    QByteArray uuid;
    const Result<std::optional<RecordVersion>> version =
        readRecordVersion(connection, account, versionId, true, &uuid);
    if (!version.ok()) {
        return restoreFailed(version.status());
    }
    if (!version.value()) {
        return restoreOutcome(SaveOutcome::NotFound);
    }
    if (version.value()->damaged) {
        return restoreOutcome(SaveOutcome::VersionDamaged);
    }
    const RecordFields& fields = version.value()->fields;
    const QString shortName = fields.shortName.trimmed();
    if (std::optional<SaveResult> refused = refusedShortName(shortName)) {
        return *refused;
    }
    // The record is live again: its last version and its tombstone go with the same commit.
    Statement forget =
        connection.prepare(QStringLiteral("DELETE FROM LoginsHistory WHERE Id = ?1"));
    forget.bind(1, versionId);
    DbStatus status = forget.run();
    if (status.ok()) {
        status = removeTombstone(connection, uuid);
    }
    if (!status.ok()) {
        return restoreFailed(status);
    }
    return insertRecord(write, account, fields, shortName, uuid);
}

}  // namespace ks
