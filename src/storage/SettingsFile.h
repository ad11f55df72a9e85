#pragma once

#include <QString>

#include "storage/FileServices.h"

namespace ks {

// The settings file Data.dat: line 1 the last login name as typed, line 2 the on-exit policy,
// line 3 the minutes without use after which the vault locks (0 never), line 4 whether it locks
// with the screen (1) or not (0). A file of an older build has the first two lines only.
struct SettingsFile {
    bool exists = false;  // whether the file is there at all (a first run when not)
    QString line1;
    QString line2;
    QString line3;
    QString line4;
};

// When the vault locks by itself.
struct LockSettings {
    static constexpr int kDefaultMinutes = 10;
    static constexpr int kMostMinutes = 60;
    int idleMinutes = kDefaultMinutes;  // 0: never
    bool onScreenLock = true;           // when the screen locks or the computer sleeps

    bool operator==(const LockSettings&) const = default;
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
// Writes a new policy in line 2, keeping line 1 as it is (empty when there is no file yet).
FsResult writePolicyLine(const QString& dataFolder, int policy);

// The policy of line 2: 1 when it is blank, else its leading whole number (0 when it has none).
int policyFromLine(const QString& line2);
// The lock settings of lines 3 and 4: the defaults for a blank line (an older file); minutes
// outside 0 to 60 are brought within them.
LockSettings lockSettingsFrom(const SettingsFile& settings);

}  // namespace ks
