#pragma once

#include <QString>
#include <QStringList>

#include "storage/Database.h"

namespace ks {

// How a database's schema compares with the one this build makes.
enum class SchemaFit {
    Exact,    // the same tables, columns, keys and indexes, and nothing else
    Older,    // an older build's: columns or indexes that the upgrade adds are missing, or an
              // index that is unique now is not unique yet
    Foreign,  // anything else: another table, column, type, key or index, a trigger, a view
};

struct SchemaVerdict {
    DbStatus status;  // a failure to read the schema at all (wrong key, damaged file)
    SchemaFit fit = SchemaFit::Foreign;
    // For Foreign, why, in words for the user; for Older, what the upgrade would change.
    QStringList reasons;
};

// Compares the schema of a database with the schema this build makes (built in a private
// in-memory database by createSchema, so that what the code adds later is covered at once).
// Names taken from the file are shown through shownName.
SchemaVerdict checkSchema(Connection& connection);

// A verdict's failure: the read's own, or MissingTables with the reasons for a foreign schema;
// ok for Exact and Older.
DbStatus refusalOf(const SchemaVerdict& verdict);

// A private in-memory database holding this build's schema.
Result<Connection> referenceSchema();

}  // namespace ks
