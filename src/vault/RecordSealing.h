#pragma once

#include "core/AccountConversion.h"
#include "storage/Database.h"

namespace ks {

// Turns every record of `conversion.from` (all its fields and its category), every kept version
// and deleted record of it, and every own category name of it into the form `conversion.to` stores,
// each row keeping its identity and getting a new time of last write. Runs on the caller's
// connection inside the caller's transaction; DbCode::Cancelled as soon as rowDone() says to stop.
DbStatus sealRecords(Connection& connection, const AccountConversion& conversion);

}  // namespace ks
