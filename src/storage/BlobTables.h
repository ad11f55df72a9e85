#pragma once

#include "storage/Database.h"

namespace ks {

// Keeps the blob of the picture and file tables their last column: columns added to them later
// (ALTER TABLE appends) are moved before it by making the table again, rows, row keys and the
// next row key kept. With a column after it, a blob of zeros written to be filled in place would
// be made whole in memory, and reading that column would walk the whole blob. Runs inside the
// caller's transaction; the tables' indexes are the caller's to make again.
DbStatus keepBlobsLast(Connection& connection);

}  // namespace ks
