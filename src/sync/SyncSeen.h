#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

#include "storage/Database.h"

namespace ks::syncing {

// The versions of rows and deletions known to be in the sync folder already (written there by
// this device or applied from another's file), so that a change file holds only this device's
// own writes and never echoes what came from elsewhere.
struct SeenVersion {
    QByteArray uuid;
    int kind = 0;  // 0 a row (its Modified), 1 a deletion (its time)
    qint64 modified = 0;
};

// Every version a file of the sync folder holds.
Result<QList<SeenVersion>> versionsIn(Connection& file);

// Notes the versions as seen, inside the caller's transaction.
DbStatus noteSeen(Connection& connection, const QList<SeenVersion>& versions);

// The rows of the file that this device holds in a version of its own not written to the folder
// yet (read before the merge): whatever the merge makes of them, they are written out again
// with their history, so that the version the merge may put in history here is not lost.
Result<QSet<QByteArray>> unsentRows(Connection& target, Connection& file);

// After another device's file was merged into `target`: the versions of the file that the
// target now holds as they are are noted as seen, but for the `unsent` rows; a row the merge
// wrote otherwise (renamed, or where the version here won) stays this device's own write.
DbStatus noteArrived(Connection& target, Connection& file, const QSet<QByteArray>& unsent);

}  // namespace ks::syncing
