#pragma once

#include <QString>
#include <functional>

#include "storage/Database.h"

namespace ks {

// The steps of a compaction, in the order they run.
enum class CompactionStep {
    DiscardLeftover,  // remove a copy (and its journal) left over by an earlier version's run
    Open,             // open the database with its key and check that it is ours
    Vacuum,           // rewrite the database in place, inside the engine's lock and journal
    Verify,           // check the rewritten database: its structure and every table
};

struct CompactionOutcome {
    bool ok = true;
    CompactionStep failedAt = CompactionStep::DiscardLeftover;  // only meaningful when !ok
    DbStatus status;  // why it failed; Busy when another connection holds the database

    // True when the database was in use by someone else, so nothing could be done.
    bool inUse() const { return !ok && status.code == DbCode::Busy; }
};

// Lets a test fail a compaction on purpose. `failAt` is asked once before each step runs;
// answering true fails that step without running it.
struct CompactionHooks {
    std::function<bool(CompactionStep)> failAt;
    int lockTimeoutMs = 3000;  // how long to wait for other connections to finish
};

// Rewrites the database at `databasePath` without its free space. The engine does it in place
// (VACUUM) under its own exclusive lock and rollback journal: a crash or a failure (a full disk,
// say) rolls back to the database as it was, and a connection of another process that holds
// the file open keeps working, because the file is never replaced by another one. A copy that
// an earlier version of the program left at `outputPath` is removed first. The salt, and so the
// pass phrase and the raw key, stay the same.
CompactionOutcome compactDatabaseFile(const QString& databasePath, const QString& outputPath,
                                      const QString& passPhrase, const CompactionHooks& hooks = {});

}  // namespace ks
