#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "core/Account.h"
#include "storage/Database.h"
#include "vault/RecordStore.h"

namespace ks {

// Many records at once, for the import and export of files: every record of an account read
// whole, the short names a new record of the account must not repeat, and many new records
// written in one transaction under the rules of a single save.

// Every record of `account`, decrypted (a value that does not open is shown as damaged), in the
// table's stored order.
Result<QList<StoredRecord>> readAccountRecords(DatabaseAccess& database, const Account& account);

// The short names a new record of `account` is checked against, as the record store checks
// them: for an account in the shared format every name of the table it can read; for a
// protected account its own names.
Result<QStringList> readTakenShortNames(DatabaseAccess& database, const Account& account);
Result<QStringList> readTakenShortNames(Connection& connection, const Account& account);

struct BatchSaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    DbStatus status;
    int refusedAt = -1;  // the index of the record that stopped the batch
    int created = 0;
    QStringList categoriesAdded;
};

// Adds every record of `records` for `account` in one transaction: either all of them are
// written or none. Each is held to the rules of RecordStore::CreateRecord: a short name
// (trimmed) of more than 3 characters, unique in any letter case over the names already taken
// and those of the batch before it; the category filed as fileUnder() says, new ones added for
// the account once. A protected account's values are sealed as a single save seals them.
BatchSaveResult createRecords(DatabaseAccess& database, const Account& account,
                              const QList<RecordFields>& records);

}  // namespace ks
