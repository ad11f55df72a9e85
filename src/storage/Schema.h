#pragma once

#include <QString>
#include <QStringList>

#include "storage/Database.h"

namespace ks {

// The six tables of the database, in the order they are made.
QStringList schemaTableNames();

// The tables added after those six (history, deletions and sync), and all tables together.
QStringList addedTableNames();
QStringList allTableNames();
// The CREATE statement of one of the added tables; empty for any other name.
QString addedTableDefinition(const QString& table);

// Creates every table and index on an empty database and adds the shared categories.
DbStatus createSchema(Connection& connection);

// The index definitions of earlier builds: a database holding one is brought up to date.
QStringList formerIndexDefinitions();

// The identity of a new content row: 16 random bytes from the system's random source.
inline constexpr qsizetype kRowUuidBytes = 16;
QByteArray newRowUuid();
// The time a row is written, kept in its Modified column: UTC milliseconds.
qint64 rowWriteTime();

// The categories every user sees and nobody may remove, shipped in the template.
QStringList sharedCategoryNames();

// The column holding a row's owner value: KeyUserName in Logins, UserName elsewhere.
QString ownerColumn(const QString& table);
// The row key the database assigns: Counter where the table has one, else Id.
QString keyColumn(const QString& table);

// `columns` of the rows of `table` owned by `owner`, in the table's stored order. Every read
// that lists a user's data goes through here, so no list ever shows another user's rows.
Statement selectOwned(Connection& connection, const QString& table, const QString& columns,
                      const QString& owner);

// The owner value of the shared categories.
inline constexpr char16_t kGlobalOwner[] = u"GLOBAL";

}  // namespace ks
