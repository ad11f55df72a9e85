#pragma once

#include <QString>
#include <functional>

#include "storage/Database.h"

namespace ks {

// The steps of a compaction, in the order they run.
enum class CompactionStep {
    DiscardLeftover,  // remove a copy (and its journal) left over from an earlier run
    Lock,             // take the writer's lock on the database and check that it is ours
    Export,           // write the compacted copy, with the same salt and key as the database
    Verify,           // open the copy on its own: every table, every row count, the counters
    Flush,            // put the copy on the disk
    Replace,          // rename the copy over the database in one step
};

struct CompactionOutcome {
    bool ok = true;
    CompactionStep failedAt = CompactionStep::DiscardLeftover;  // only meaningful when !ok
    DbStatus status;  // why it failed; Busy when another connection holds the database

    // True when the database was in use by someone else, so nothing could be done.
    bool inUse() const { return !ok && status.code == DbCode::Busy; }
};

// Lets a test fail a compaction on purpose. `failAt` is asked once per step, when the step's
// own work is done (for Replace: just before the rename); answering true fails that step.
struct CompactionHooks {
    std::function<bool(CompactionStep)> failAt;
    int lockTimeoutMs = 2000;  // how long to wait for a writer to finish before giving up
};

// Rewrites the database at `databasePath` without its free space. A complete copy is written
// to `outputPath` (beside the database), verified, flushed and renamed over the database in one
// step, while a lock keeps every other writer out. On any failure the copy is removed and the
// database is left exactly as it was. The copy keeps the database's salt, so it opens with the
// same pass phrase and the same raw key.
//
// Close every connection to the database first: a connection still open afterwards keeps
// reading the replaced file.
CompactionOutcome compactDatabaseFile(const QString& databasePath, const QString& outputPath,
                                      const QString& passPhrase, const CompactionHooks& hooks = {});

}  // namespace ks
