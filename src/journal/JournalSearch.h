#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include "storage/Database.h"

namespace ks {

// One day whose entry holds the searched text.
struct JournalHit {
    QDate day;
    QString snippet;  // the words around the first match, on one line
};

// Every day of the owner whose entry contains `text`, letter case ignored, newest first. A day
// is judged by the entry its load shows (the first row of the day). Empty for an empty text.
Result<QList<JournalHit>> searchJournal(DatabaseAccess& database, const QString& owner,
                                        const QString& text);

// The words around the match at `at` of `length` characters, on one line, with "…" where the
// entry goes on.
QString journalSnippet(const QString& entry, qsizetype at, qsizetype length);

}  // namespace ks
