#pragma once

#include <QList>
#include <optional>

#include "core/Account.h"
#include "storage/Database.h"
#include "vault/RecordStore.h"

namespace ks {

// The kept versions of an account's records, read for the windows. Versions are written by the
// record store's saves and deletions (see storage/HistoryRows.h for how they are kept); they
// are read here with the account's key, each value opening as the live value of its row did.

// The fields of a version that differ from the version after it (or the record as it is now).
enum RecordField : unsigned {
    FieldShortName = 1U << 0U,
    FieldUserName = 1U << 1U,
    FieldPassword = 1U << 2U,
    FieldDescription = 1U << 3U,
    FieldNotes = 1U << 4U,
    FieldCategory = 1U << 5U,
};

struct RecordVersion {
    qint64 id = 0;         // the version's own key in the history
    qint64 modified = 0;   // when this version was written (UTC ms; 0 when unknown)
    qint64 replaced = 0;   // when a save replaced it or the record was deleted (UTC ms)
    RecordFields fields;   // decrypted; damagedValueText() for a value that does not open
    bool damaged = false;  // some value did not open: it cannot be restored
    unsigned changed = 0;  // RecordField flags: what the next newer version changed
};

// The fields that differ between two sets of values.
unsigned changedFields(const RecordFields& older, const RecordFields& newer);

// The kept versions of the account's record `counter`, newest first, each with what the save
// that replaced it changed. Empty when the record has none or is not the account's.
Result<QList<RecordVersion>> ListRecordHistory(DatabaseAccess& database, const Account& account,
                                               qint64 counter);

// One kept version of the account, by its key: a version of a live record, or with `deleted`
// the last version of a deleted record. nullopt when there is no such version of the account.
// The identity of the record it belongs to goes to `uuid` when given.
Result<std::optional<RecordVersion>> readRecordVersion(Connection& connection,
                                                       const Account& account, qint64 id,
                                                       bool deleted, QByteArray* uuid = nullptr);

// A deleted record that can still be restored.
struct DeletedRecord {
    qint64 id = 0;       // the key of its last version
    qint64 deleted = 0;  // when it was deleted (UTC ms)
    QString shortName;   // damagedValueText() when it does not open
    QString category;
};

// The account's deleted records, the most recently deleted first; those deleted longer ago
// than `history` keeps them are forgotten first.
Result<QList<DeletedRecord>> ListDeletedRecords(DatabaseAccess& database, const Account& account,
                                                const HistorySettings& history);

// Empties the account's history (records and journal), see clearOwnerHistory.
DbStatus ClearAccountHistory(DatabaseAccess& database, const Account& account);
// Keeps no more than `history.versionsKept` versions of each of the account's records and
// entries, after the number was lowered.
DbStatus ApplyHistorySettings(DatabaseAccess& database, const Account& account,
                              const HistorySettings& history);

}  // namespace ks
