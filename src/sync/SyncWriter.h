#pragma once

#include <QString>

#include "storage/Database.h"
#include "sync/SyncDevice.h"

namespace ks::syncing {

// One file this device wrote into its folder.
struct WrittenFile {
    QString name;  // empty when there was nothing to write
    qint64 bytes = 0;
    bool snapshot = false;
};

// When a snapshot takes the place of the device's change files: when the change files since
// its last snapshot weigh more than twice the database, or are many and weigh more than a
// tenth of it. So a snapshot never costs more than the change files it replaces, and a big
// stored file, whose change file alone weighs about what the database does, is not written
// again for the routine change after it; a reader meets a bounded number of files. A device's
// first file is a snapshot.
inline constexpr int kManyChangeFiles = 100;
bool snapshotDue(const QString& ownFolder, qint64 databaseBytes);

// Writes the device's own writes since its last file (rows and deletions that are not in the
// sync folder yet; rows that came from other devices' files are there already) as one change
// file in `ownFolder` (an existing private folder), or everything as a snapshot that then
// replaces the device's older files. The file is written under a dot-name, flushed and then
// renamed; only then does the database note it as written.
Result<WrittenFile> writeOwnFile(DatabaseAccess& database, const DeviceState& device,
                                 const QString& ownFolder, const QString& machineName,
                                 bool snapshot);

}  // namespace ks::syncing
