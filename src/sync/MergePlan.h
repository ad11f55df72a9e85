#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "storage/Database.h"
#include "sync/MergeAccounts.h"
#include "sync/MergeReport.h"
#include "sync/MergeTables.h"

namespace ks::merging {

// One row-level step of a merge, worked out before anything is written.
struct MergeStep {
    enum class Op {
        Add,             // the other's row comes in (with its identity)
        Replace,         // the other's newer version takes the place of the row here
        Delete,          // the row here goes (a deletion made elsewhere, or a double it loses to)
        KeepIncoming,    // the other's version of a row goes to history only
        ImportVersion,   // a version from the other's history comes in
        LeaveTombstone,  // the other's row stays out for good: its tombstone is left here
    };
    Op op = Op::Add;
    MergeKind kind = MergeKind::Records;
    QString owner;
    QByteArray uuid;
    qint64 key = 0;   // the row here (Replace, Delete); the history row there (ImportVersion)
    qint64 time = 0;  // the tombstone's time (Delete, LeaveTombstone)
    bool keepVersion = false;    // Replace, Delete: the version here goes to history first
    bool deletedRecord = false;  // Delete of a record: its last version is marked deleted
    // A record that comes in under a new short name: the name as stored, and the time of last
    // write the renamed version gets (after the incoming one's, so that it wins everywhere).
    std::optional<QString> storedName;
    qint64 renamedAt = 0;
};

struct MergePlan {
    QList<AccountPlan> accounts;
    QList<MergeStep> steps;
    MergeReport report;
};

// What merging the other database (`source`) into this one (`target`) does, worked out on
// both without writing. `keys` are the accounts whose data key the caller holds; `now` is the
// time a step made by the merge itself is written at (a rename, a tombstone of a double).
Result<MergePlan> planMerge(Connection& target, Connection& source, const QList<Account>& keys,
                            qint64 now);

}  // namespace ks::merging
