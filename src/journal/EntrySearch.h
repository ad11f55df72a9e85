#pragma once

#include <QDate>

namespace ks {

enum class SearchDirection { Backward, Forward };

// Where an entry search ends: the nearest day with a non-blank entry, or the day just beyond
// the bound where the search gives up.
struct EntrySearch {
    bool found = false;
    QDate day;
};

}  // namespace ks
