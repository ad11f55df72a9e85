#pragma once

#include "storage/Database.h"

namespace ks {

// What an upgrade does with a unique index that the rows refuse (two accounts of one name).
enum class UpgradeRule {
    Strict,              // the upgrade fails (Unusable, saying why) and changes nothing
    KeepWhatRowsRefuse,  // the old index stays as it is; everything else is brought up to date
};

// Brings a database of this program made by an older build up to date with the schema of this
// build: a column the schema has and the database lacks is added with its default, an index
// that is missing or not unique yet is made anew. All in one transaction; a database that
// cannot be brought up to date (a missing key column, rows a unique index refuses under the
// strict rule) is left as it was and the status says why. Only for a database whose schema
// checkSchema found Exact or Older.
DbStatus bringSchemaUpToDate(Connection& connection, UpgradeRule rule = UpgradeRule::Strict);

// Whether some rows have no identity yet (rows an older build added to an up-to-date database).
Result<bool> rowsLackIdentity(Connection& connection);
// Gives every row without an identity a new one, in one transaction; nothing when none lacks it.
DbStatus giveRowsIdentities(Connection& connection);

}  // namespace ks
