#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
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
    Keep,    // (import) keep the database in a checked copy, before the lock is taken
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
// the pass phrase, passes the engine's integrity check and holds exactly the schema of this
// build: every table, column, key and index, and nothing else (no other table, no trigger, no
// view). A copy made by an older build of the program, lacking a column or an index the schema
// has now, is brought up to date; one whose rows the schema of today refuses (two accounts of
// one name) is refused (Unusable). The source itself is only read. On failure the staging copy
// is removed and the status says why, in words for the user.
DbStatus stageDatabaseForImport(const QString& source, const QString& staging,
                                const QString& passPhrase);

// Where and why the database an import replaces is kept (see Backups.h).
struct KeepOldDatabase {
    QString folder;  // the data folder's Backups folder
    QString reason;  // "before-import"
    QDateTime made;
};

// Replaces the contents of the live database at `databasePath` by those of the checked
// `staging` copy through the engine's backup interface: the copy is made inside the engine's
// writer's lock and journal, so an interruption leaves the old or the new database whole.
// First the old contents are kept as a checked copy in `keep.folder` (see makeVerifiedBackup),
// and under the lock the database is checked to be still the one copied; when the copy cannot
// be made (a full disk, say) nothing is replaced. Close every connection to the database
// first. The kept copy's path; on failure the live database is unchanged and no copy is left.
Result<QString> restoreDatabaseFrom(const QString& staging, const QString& databasePath,
                                    const KeepOldDatabase& keep, const QString& passPhrase,
                                    const CopyHooks& hooks = {});

// What a database holds, for the question before an import: the owner values of its accounts
// (in the order they were made) and how many records, journal entries with text, pictures and
// files it holds in all.
struct DatabaseContents {
    QStringList accountOwners;
    qint64 records = 0;
    qint64 entries = 0;
    qint64 pictures = 0;
    qint64 files = 0;
};
Result<DatabaseContents> readDatabaseContents(const QString& path, const QString& passPhrase);

}  // namespace ks
