#pragma once

#include <QString>

#include "storage/FileServices.h"

namespace ks {

// The settings file Data.dat: line 1 the last login name as typed, line 2 the on-exit policy.
struct SettingsFile {
    bool exists = false;  // whether the file is there at all (a first run when not)
    QString line1;
    QString line2;
};

QString settingsPath(const QString& dataFolder);

// Reads the two lines. A missing line reads as empty; a file that is damaged or not text gives
// whatever was readable before the damage, never an error.
SettingsFile readSettings(const QString& dataFolder);

// Writes the file anew (both lines ended by CR LF), privately and in one step. On a failure
// (a full disk, a read-only folder) the old file stays exactly as it was and the reason is given.
FsResult writeSettings(const QString& dataFolder, const QString& line1, int policy);
// Writes a new policy in line 2, keeping line 1 as it is (empty when there is no file yet).
FsResult writePolicyLine(const QString& dataFolder, int policy);

// The policy of line 2: 1 when it is blank, else its leading whole number (0 when it has none).
int policyFromLine(const QString& line2);

}  // namespace ks
