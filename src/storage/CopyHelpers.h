#pragma once

#include <QString>

#include "storage/Database.h"

// File and engine steps shared by the database's copies: export, import and their checks.
namespace ks::copying {

// The failure a test asked for.
DbStatus injected();
// A failed system call as a status naming what was being done.
DbStatus errnoStatus(int error, const QString& what);
QByteArray native(const QString& path);
// Removes a database file and every file the engine may keep beside it.
void removeWithCompanions(const QString& path);
// Puts a file (or, with O_DIRECTORY, a folder's entries) on the disk.
DbStatus flushPath(const QString& path, int flags);
// Copies a file's bytes into a new private file (0600) that must not exist yet, flushed.
DbStatus copyBytes(const QString& source, const QString& target);
// Opens a file keyed with the raw key its own salt gives.
Result<Connection> openKeyed(const QString& path, const QString& passPhrase);
// The engine's integrity check: ok, or the first problems it names.
DbStatus integrityOf(Connection& connection);
// The number of rows in every table of the schema, in the schema's order.
Result<QList<qint64>> rowCountsOf(Connection& connection);
// Whether a copy holds as many rows in every table of the schema as the database it was made of
// (or as that database held when its counts were taken).
DbStatus sameRowCounts(Connection& live, Connection& copy);
DbStatus sameRowCounts(const QList<qint64>& expected, Connection& copy);

}  // namespace ks::copying
