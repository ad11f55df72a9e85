#pragma once

#include "storage/Database.h"

namespace ks {

// Brings a database of this program made by an older build up to date with the schema of this
// build: a column the schema has and the database lacks is added with its default, an index
// that is missing or defined differently is made anew. All in one transaction; a database
// that cannot be brought up to date (a missing key column, rows a unique index refuses) is
// left as it was and the status says why. Tables beyond the schema's are kept.
DbStatus bringSchemaUpToDate(Connection& connection);

}  // namespace ks
