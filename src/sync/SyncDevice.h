#pragma once

#include <QString>

#include "storage/Database.h"

namespace ks::syncing {

// This installation as the sync folder knows it: its device id and the sequence its next file
// takes. The id is tied to this place by a fingerprint (this computer's id, the data folder's
// real path, the database file's device and inode): a data folder copied elsewhere, or a
// database imported from another, takes a new id, so two copies never write under one name.
// A database restored from a backup is found out by the folder: files of its id that it does
// not know of (a later sequence than its next) mean that its id wrote on after this state, so
// it takes a new id too, and the files of the old one are applied here as any other device's.
struct DeviceState {
    QString id;
    qint64 nextSequence = 1;
};

// The current device, taking a new id where the old one no longer holds. `syncFolder` may be
// empty (no folder to look in).
Result<DeviceState> currentDevice(DatabaseAccess& database, const QString& dataFolder,
                                  const QString& syncFolder);

// Notes that the device wrote the file of `sequence`, inside the caller's transaction.
DbStatus noteWritten(Connection& connection, const QString& deviceId, qint64 sequence);

}  // namespace ks::syncing
