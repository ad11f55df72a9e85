#pragma once

#include <QString>
#include <functional>

#include "storage/Database.h"

namespace ks {

// The steps of writing a verified copy of the database, in the order they run.
enum class CopyStep {
    Lock,    // take the writer's lock on the database and check that it is ours
    Write,   // write the copy under its temporary name
    Verify,  // open the copy on its own: key, integrity, every table, every row count
    Flush,   // put the copy on the disk
    Rename,  // give the copy its final name
};

// Lets a test fail a copy on purpose: asked once per step when its work is done.
struct CopyHooks {
    std::function<bool(CopyStep)> failAt;
    int lockTimeoutMs = 3000;
};

// Writes a byte-for-byte copy of the database at `databasePath` to `destination`. The copy is
// written under `destination` + ".part", verified and flushed while the writer's lock keeps
// every other writer out, and only then renamed to `destination`. On any failure the partial
// copy is removed and whatever was at `destination` before is left as it was.
DbStatus writeVerifiedCopy(const QString& databasePath, const QString& passPhrase,
                           const QString& destination, const CopyHooks& hooks = {});

// The temporary name a copy is written under before it takes its final name.
QString partialCopyPath(const QString& destination);

// Copies `source` to `staging` (a private file) and checks the copy thoroughly: it opens with
// the pass phrase, passes the engine's integrity check and holds every table of the schema. A
// copy made by an older build of the program, lacking a column or an index the schema has
// now, is brought up to date. The source itself is only read. On failure the staging copy is
// removed and the status says why.
DbStatus stageDatabaseForImport(const QString& source, const QString& staging,
                                const QString& passPhrase);

// Replaces the contents of the live database at `databasePath` by those of the checked
// `staging` copy through the engine's backup interface: the copy is made inside the engine's
// writer's lock and journal, so an interruption leaves the old or the new database whole.
// Under the same lock the old contents are first kept, byte for byte, at `backupPath` (0600).
// Close every connection to the database first. On failure the live database is unchanged.
DbStatus restoreDatabaseFrom(const QString& staging, const QString& databasePath,
                             const QString& backupPath, const QString& passPhrase,
                             const CopyHooks& hooks = {});

}  // namespace ks
