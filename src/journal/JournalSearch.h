#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks {

// One day whose entry holds the searched text.
struct JournalHit {
    QDate day;
    QString snippet;           // the words around the first match, on one line
    qsizetype matchStart = 0;  // where the match begins in the snippet
};

// Every day of the owner whose entry contains `text`, letter case and the kind and number of
// spaces and line breaks between words ignored (foldedForSearch), newest first. A day is judged
// by the entry its load shows (the first row of the day); an entry that does not open matches
// nothing. Empty for an empty text.
Result<QList<JournalHit>> searchJournal(DatabaseAccess& database, const Account& account,
                                        const QString& text);

// The words around the match at `at` of `length` characters, on one line, with "…" where the
// entry goes on. A character outside the basic plane is never cut in half. `matchStart`, when
// given, receives where the match begins in the snippet.
QString journalSnippet(const QString& entry, qsizetype at, qsizetype length,
                       qsizetype* matchStart = nullptr);

// The hit's snippet with at most about `lead` characters before the match (from the start of a
// word where one begins there), so that a narrow list shows the match itself.
QString snippetNearMatch(const JournalHit& hit, qsizetype lead);

}  // namespace ks
