#pragma once

#include <QString>

#include "storage/Compaction.h"
#include "storage/Database.h"

namespace ks {

// What the user is told about database outcomes. The storage layer reports codes and the
// engine's own words; the sentences shown for them live here.

// One sentence for a message box: why a database step failed.
QString describeDatabaseStatus(const DbStatus& status);

// The same with the reason in the storage layer's words, when it gives one: "\r\r(reason)".
QString describeDatabaseFailure(const DbStatus& status);

// What a compaction step was doing when it failed ("writing the compacted copy").
QString describeCompactionStep(CompactionStep step);

// A few lines for a message box, joined with "\r": the compaction's outcome, and for a failure
// the step, the reason and that the database is unchanged.
QString describeCompaction(const CompactionOutcome& outcome);

}  // namespace ks
