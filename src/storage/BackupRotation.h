#pragma once

#include <QDate>
#include <QList>

#include "storage/Backups.h"

namespace ks {

// How many copies the Backups folder keeps of each kind. Daily copies are the ones made at the
// first login of a day; a week is kept by its newest daily copy once that copy is no longer
// among the daily ones kept; every other copy (before an import, a compaction, a protection, a
// change of password, a restore) is an event copy.
struct RotationRule {
    int daily = 7;
    int weekly = 4;
    int events = 10;
};

// The reason in the name of the copy made at the first login of a day.
QString dailyBackupReason();

// The copies of `backups` (any order) that the rule no longer keeps. A copy an older build kept
// beside the database ("Data.mdb.bak") is never among them.
QList<BackupFile> backupsPastKeeping(const QList<BackupFile>& backups,
                                     const RotationRule& rule = {});

// Whether none of `backups` is a daily copy made on `day`.
bool dailyBackupDue(const QList<BackupFile>& backups, const QDate& day);

// Removes the copies in the data folder's Backups folder that the rule no longer keeps. Run only
// after a new copy has been made and checked, so that the newest checked copy always stays.
// What could not be removed, if anything.
DbStatus rotateBackups(const QString& dataFolder, const RotationRule& rule = {});

}  // namespace ks
