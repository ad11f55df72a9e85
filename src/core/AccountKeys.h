#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "protection/AccountKey.h"
#include "storage/Database.h"

namespace ks {

// The key row of a protected account, kept in its Users row.
struct StoredAccountKey {
    QByteArray userUuid;  // the Users row's identity, which the wrapped key is bound to
    AccountKeyRecord record;

    QByteArray binding(const QString& owner) const;
};

// The key of the account `owner`; nullopt for an account in the shared format (or no account).
Result<std::optional<StoredAccountKey>> readAccountKey(Connection& connection,
                                                       const QString& owner);

// Makes the account `owner` protected by `record` (or gives it a new wrapped key): its password
// column is emptied, since nothing derived from the pass phrase but the wrapped key is kept.
// Meant to run inside the caller's transaction. Fails when no row was changed.
DbStatus writeAccountKey(Connection& connection, const QString& owner,
                         const AccountKeyRecord& record);

}  // namespace ks
