#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "sync/MergeTables.h"

namespace ks {

// What a merge changes (or, planned without writing, would change) in this database.

// The rows of one kind of one account that a merge adds, changes (a newer version taking the
// place of the one here) and deletes (a deletion made elsewhere); `renamed` counts those of the
// added or changed records that came in under a new short name.
struct MergeCounts {
    int added = 0;
    int changed = 0;
    int deleted = 0;
    int renamed = 0;

    bool any() const { return added + changed + deleted + renamed > 0; }
};

// A record that came in under a new name, because another record here has its name.
struct MergeRename {
    QString from;
    QString to;
};

// One account (login name) of either database.
struct AccountMergeReport {
    QString owner;                 // the owner value of its rows
    QString name;                  // the login name as shown
    bool added = false;            // only the other database has the account: it is added
    bool passwordChanged = false;  // the other database's newer, other password or key is taken
    bool protectionTaken = false;  // the account, protected there, is protected here from now on
    // Why nothing of the account was merged (its key rows cannot be brought together); empty
    // when it was merged.
    QString refusal;
    std::array<MergeCounts, merging::kMergeKinds> kinds{};
    QList<MergeRename> renames;
    // Records whose names could not be checked against this database's names (a protected
    // account whose key the caller does not hold): they came in as they were.
    int namesUnchecked = 0;
    // Rows and kept versions of the account, protected here, that the other database holds in
    // the shared format: left out (the machine that wrote them seals them and writes them again).
    int leftUnsealed = 0;
    // Earlier versions of records and journal entries the merge kept in history (counted only
    // when the merge is written).
    int versionsKept = 0;

    bool changesAnything() const;
};

struct MergeReport {
    QList<AccountMergeReport> accounts;
    // Every row the merge writes, what the user sees of it or not (an account row's identity,
    // the tombstone of a row deleted elsewhere that was never here).
    int writes = 0;

    bool changesAnything() const;
    bool writesAnything() const { return writes > 0; }
    bool refusedAny() const;
};

// The report as lines for the user: one for each account that changes or is refused, what
// changes by kind, then each renamed record; "Nothing to merge." when nothing changes.
QStringList mergeReportLines(const MergeReport& report);

// The lines of the accounts the merge left alone, with the reason; empty when it took them all.
QStringList refusalLines(const MergeReport& report);

// Says that `file` was refused: it is no whole database of ours (`reason` in the storage
// layer's words, may be empty).
QString mergeRefusedText(const QString& appTitle, const QString& file, const QString& reason);

}  // namespace ks
