#pragma once

#include <QString>

#include "storage/FileServices.h"

namespace ks {

// The settings file Data.dat: line 1 the last login name as typed, line 2 the on-exit policy,
// line 3 the minutes without use after which the vault locks (0 never), line 4 whether it locks
// with the screen (1) or not (0), line 5 how many versions of each record and journal entry
// history keeps (0 none), line 6 how many days a deleted record can be restored, line 7 the
// sync folder (empty: none), line 8 this machine's name there (empty: the host name). A file of an
// older build has fewer lines; a missing line reads as its default.
struct SettingsFile {
    bool exists = false;  // whether the file is there at all (a first run when not)
    QString line1;
    QString line2;
    QString line3;
    QString line4;
    QString line5;
    QString line6;
    QString line7;
    QString line8;
};

// Where this data folder meets its other machines.
struct SyncSettings {
    QString folder;       // the sync folder; empty: none
    QString machineName;  // this machine's name there; empty: the host name

    bool operator==(const SyncSettings&) const = default;
};

// When the vault locks by itself.
struct LockSettings {
    static constexpr int kDefaultMinutes = 10;
    static constexpr int kMostMinutes = 60;
    int idleMinutes = kDefaultMinutes;  // 0: never
    bool onScreenLock = true;           // when the screen locks or the computer sleeps

    bool operator==(const LockSettings&) const = default;
};

// What history keeps.
struct HistorySettings {
    static constexpr int kDefaultVersions = 10;
    static constexpr int kMostVersions = 100;
    static constexpr int kDefaultDeletedDays = 30;
    static constexpr int kMostDeletedDays = 365;
    int versionsKept = kDefaultVersions;    // of each record and entry; 0 keeps none
    int deletedDays = kDefaultDeletedDays;  // a deleted record can be restored this long
    // The time before which a deleted record has aged out at the time `now` (UTC ms); with 0
    // days every deleted record has, the one deleted at `now` too.
    qint64 deletedBefore(qint64 now) const {
        return deletedDays == 0 ? now + 1 : now - qint64(deletedDays) * 86'400'000;
    }

    bool operator==(const HistorySettings&) const = default;
};

QString settingsPath(const QString& dataFolder);

// Reads the two lines. A missing line reads as empty; a file that is damaged or not text gives
// whatever was readable before the damage, never an error.
SettingsFile readSettings(const QString& dataFolder);

// Writes the file anew (each line ended by CR LF), privately and in one step, keeping the lock
// lines the file has. On a failure (a full disk, a read-only folder) the old file stays exactly
// as it was and the reason is given.
FsResult writeSettings(const QString& dataFolder, const QString& line1, int policy);
// Writes the lock lines, keeping lines 1 and 2 as they are (a missing policy line becomes 1).
FsResult writeLockSettings(const QString& dataFolder, const LockSettings& lock);
// Writes the history lines, keeping the others as they are.
FsResult writeHistorySettings(const QString& dataFolder, const HistorySettings& history);
// Writes the sync lines, keeping the others as they are. A folder or name with a line break is
// refused.
FsResult writeSyncSettings(const QString& dataFolder, const SyncSettings& sync);
// Writes a new policy in line 2, keeping line 1 as it is (empty when there is no file yet).
FsResult writePolicyLine(const QString& dataFolder, int policy);

// The policy of line 2: 1 when it is blank, else its leading whole number (0 when it has none).
int policyFromLine(const QString& line2);
// The lock settings of lines 3 and 4: the defaults for a blank line (an older file); minutes
// outside 0 to 60 are brought within them.
LockSettings lockSettingsFrom(const SettingsFile& settings);
// The history settings of lines 5 and 6: the defaults for a blank line; numbers outside their
// range are brought within it.
HistorySettings historySettingsFrom(const SettingsFile& settings);
// The sync settings of lines 7 and 8, trimmed.
SyncSettings syncSettingsFrom(const SettingsFile& settings);

}  // namespace ks
