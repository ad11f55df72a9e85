#pragma once

#include <QString>
#include <QStringList>

#include "core/Account.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"

namespace ks {

// The categories of password records in LoginsCategory: the shared ones (the shared owner word)
// that every user sees and nobody removes, and each user's own. A protected account's own names
// are sealed (one that does not open is listed as damaged); the shared ones are never sealed.

// The categories `account` may use, shared and own, in the table's stored order.
Result<QStringList> visibleCategories(DatabaseAccess& database, const Account& account);
// The same inside an operation that already holds a connection.
Result<QStringList> visibleCategories(Connection& connection, const Account& account);

// Adds an own category of `account`, named exactly as given. Callers make sure it is new.
DbStatus AddCategory(DatabaseAccess& database, const Account& account, const QString& name);
DbStatus AddCategory(Connection& connection, const Account& account, const QString& name);

struct CategoryDeletion {
    bool shared = false;        // a shared category of that name exists: nothing was changed
    int categoriesDeleted = 0;  // own category rows removed
    int recordsReassigned = 0;  // the owner's records now unfiled
};

// Removes the account's own category `name` (exact letter case) and moves the account's records
// of that category to unfiled, in one step, each keeping its version filed under `name` in its
// history as `history` says. A shared category of that name is refused untouched.
Result<CategoryDeletion> DeleteCategory(DatabaseAccess& database, const Account& account,
                                        const QString& name, const HistorySettings& history);

// Moves the account's records filed under `name` (exact letter case) to unfiled; the number
// moved. Each keeps the version it replaces as a save does, up to `versionsKept` (0 none), on
// the caller's connection and inside its transaction.
Result<int> ReassignCategory(Connection& connection, const Account& account, const QString& name,
                             int versionsKept);

// What a write reports when a protected account's value could not be sealed.
DbStatus notSealedStatus();

}  // namespace ks
