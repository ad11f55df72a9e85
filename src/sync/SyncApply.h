#pragma once

#include "sync/SyncDevice.h"
#include "sync/SyncFolder.h"

namespace ks::syncing {

// Applies the files of every other device in the sync folder that this database has not
// applied yet, each in one transaction through the merge engine. A device's newest snapshot is
// tried first: once it is applied, the device's older files need not be. A file that fails its
// checks changes nothing, is noted with the reason and is tried again at the next pass. What
// was applied and skipped goes to `outcome`.
void applyOtherDevices(DatabaseAccess& database, const SyncRequest& request,
                       const DeviceState& device, SyncOutcome& outcome);

// The other devices seen in the folder and what of theirs is applied here.
Result<QList<SyncMachine>> readMachines(DatabaseAccess& database, const QString& syncFolder,
                                        const QString& ownId);

// Adds what one file's merge changed to the report of a whole pass.
void addReport(MergeReport& into, const MergeReport& more);

}  // namespace ks::syncing
