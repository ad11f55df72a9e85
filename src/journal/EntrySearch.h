#pragma once

#include <QDate>
#include <QString>

#include "storage/Database.h"

namespace ks {

enum class SearchDirection { Backward, Forward };

// Where an entry search ends: the nearest day with a non-blank entry, or the day just beyond
// the bound where the search gives up.
struct EntrySearch {
    bool found = false;
    QDate day;
};

// Searches the owner's entries for the nearest earlier (later) day than `from` whose entry is
// not blank. It moves at least one day: `from` itself is never the answer. The search gives up
// past `bound` (the earliest, for a forward search the latest, of the owner's entry dates) and
// then names the day at which a day-by-day walk would have stopped: one day beyond the bound,
// or two days from `from` when the bound is that close.
Result<EntrySearch> findJournalEntryDay(DatabaseAccess& database, const QString& owner, QDate from,
                                        SearchDirection direction, QDate bound);

}  // namespace ks
