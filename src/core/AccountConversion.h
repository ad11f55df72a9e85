#pragma once

#include <functional>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks {

// Turning an account's stored values from the shared format into the sealed form of a new data
// key. Each part of the vault converts its own rows of the account (values read as `from`
// reads them, written as `to` writes them, each row keeping its identity and getting a new
// time of last write) on the caller's connection, inside the caller's transaction: the caller
// commits when every part has converted, and rolls back otherwise, so the account is left all
// in one form or all in the other.
struct AccountConversion {
    Account from;  // the account as it is stored now
    Account to;    // the same owner value with its data key
    // Told after each row is written; false when the user has stopped the conversion, and the
    // part then returns DbCode::Cancelled at once.
    std::function<bool()> rowDone;
};

// The parts, one for each kind of row, each declared beside its store:
//   DbStatus sealRecords(Connection&, const AccountConversion&);     vault: records, categories
//   DbStatus sealJournal(Connection&, const AccountConversion&);     journal entries
//   DbStatus sealImages(Connection&, const AccountConversion&);      pictures (names and data)
//   DbStatus sealFiles(Connection&, const AccountConversion&);       stored files (names, archives)

}  // namespace ks
