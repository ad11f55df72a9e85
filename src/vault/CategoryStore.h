#pragma once

#include <QString>
#include <QStringList>

#include "storage/Database.h"

namespace ks {

// The categories of password records in LoginsCategory: the shared ones (the shared owner word)
// that every user sees and nobody removes, and each user's own.

// The categories `owner` may use, shared and own, in the table's stored order.
Result<QStringList> visibleCategories(DatabaseAccess& database, const QString& owner);
// The same inside an operation that already holds a connection.
Result<QStringList> visibleCategories(Connection& connection, const QString& owner);

// Adds an own category of `owner`, named exactly as given. Callers make sure it is new.
DbStatus AddCategory(DatabaseAccess& database, const QString& owner, const QString& name);
DbStatus AddCategory(Connection& connection, const QString& owner, const QString& name);

struct CategoryDeletion {
    bool shared = false;        // a shared category of that name exists: nothing was changed
    int categoriesDeleted = 0;  // own category rows removed
    int recordsReassigned = 0;  // the owner's records now unfiled
};

// Removes the owner's own category `name` (exact letter case) and moves the owner's records of
// that category to unfiled, in one step. A shared category of that name is refused untouched.
Result<CategoryDeletion> DeleteCategory(DatabaseAccess& database, const QString& owner,
                                        const QString& name);

// Moves the owner's records filed under `name` (exact letter case) to unfiled; the number
// moved.
Result<int> ReassignCategory(Connection& connection, const QString& owner, const QString& name);

}  // namespace ks
