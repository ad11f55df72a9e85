#pragma once

#include <functional>

#include "sync/MergePlan.h"

namespace ks::merging {

// Writes a plan worked out on the same two databases, on the target's connection and inside
// the caller's transaction: the accounts, every step in order (a replaced or deleted version
// going to history as a save or a deletion keeps it, at `now`), then for each merged account
// the other's tombstones, less those of rows that are live after the merge. `failAfter` (for
// tests) is asked after each step with its number and fails the write when it says so.
DbStatus writePlan(Connection& target, Connection& source, const MergePlan& plan, qint64 now,
                   const std::function<bool(int)>& failAfter = {});

// Copies the blob `column` of the row `sourceRow` of `table` in `source` into the same column
// of the row `targetRow` in `target`, which must hold a blob of the same length already, a
// chunk at a time.
DbStatus copyBlobAcross(Connection& source, Connection& target, const QString& table,
                        const QString& column, qint64 sourceRow, qint64 targetRow);

}  // namespace ks::merging
