#pragma once

#include <QString>

#include "storage/Database.h"
#include "sync/SyncNames.h"

// The files of the sync folder as databases: a file is a database of this program's schema,
// keyed as the main database is, holding some rows and one SyncFile row that names its writer.
namespace ks::syncing {

// Makes an empty file at `path` (which must not exist yet), private, with this build's schema
// and its SyncFile row still to come. `salt` is the writer's: a device keys each of its files
// alike, so a reader derives the key once per device.
Result<Connection> createSyncFile(const QString& path, const QByteArray& salt);

// The raw key of the live database at `path`, derived once per salt.
QByteArray liveDatabaseKey(const QString& path);

// Copies another device's file to `staged` (a private file that must not exist yet) when it is
// a regular file, not a link, a folder or anything else.
DbStatus stageSyncFile(const QString& source, const QString& staged);

// Opens the staged copy of `name` from the folder of `deviceId` and checks it thoroughly: its
// bytes have the hash its name gives, it opens with the key, passes the engine's integrity
// check, is whole pages, holds this build's schema, and its one SyncFile row names the same
// device, sequence and kind as its folder and name. Then it holds no file or picture name
// that could be taken for a path. On a refusal the status says why in a few words.
Result<Connection> openCheckedSyncFile(const QString& staged, const QString& deviceId,
                                       const SyncFileName& name);

}  // namespace ks::syncing
