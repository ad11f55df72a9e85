#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "storage/Database.h"
#include "storage/DatabaseCopy.h"

namespace ks {

// The folder text of a chosen folder: the path with "/" appended when it lacks one.
QString transferFolderText(const QString& folder);

// The free space, in bytes, of the volume holding a folder; nullopt when it cannot be read.
using FreeSpaceProbe = std::function<std::optional<qint64>(const QString& folder)>;
FreeSpaceProbe systemFreeSpace();

// Whether the volume of `folder` can hold `bytes`. An unreadable volume counts as too small.
bool hasSpaceFor(const FreeSpaceProbe& probe, const QString& folder, qint64 bytes);
// The size of a file in bytes; 0 when it cannot be read.
qint64 fileSize(const QString& path);

// Whether anything (a file, or a folder of that name) is in the way of an export to `folder`.
bool exportExists(const QString& folder);

// Writes the database as folder + "data.ksd": a verified complete copy replaces any earlier
// export only once it is whole; on failure nothing at the destination has changed.
DbStatus ExportDatabase(const QString& databasePath, const QString& folder,
                        const CopyHooks& hooks = {});

// The import's work files in the data folder.
QString importStagingPath(const QString& dataFolder);
QString importBackupPath(const QString& databasePath);

// Checks folder + "data.ksd" on a private copy in the data folder, before anything is changed.
DbStatus stageImport(const QString& folder, const QString& dataFolder);
// Drops the checked copy when the user decides against the import.
void discardStagedImport(const QString& dataFolder);
// Copies the checked copy into the live database, keeping the old one as "Data.mdb.bak".
DbStatus completeImport(const QString& dataFolder, const QString& databasePath,
                        const CopyHooks& hooks = {});

}  // namespace ks
