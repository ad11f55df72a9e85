#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
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

// The space an import needs on the volume of the data folder: the checked copy of the file,
// the copy kept of the current database, and the engine's journal and the database's growth
// while the one replaces the other.
qint64 importSpaceNeeded(qint64 incoming, qint64 current);

// Checks folder + "data.ksd" on a private copy in the data folder, before anything is changed.
DbStatus stageImport(const QString& folder, const QString& dataFolder);
// Drops the checked copy when the user decides against the import.
void discardStagedImport(const QString& dataFolder);

// What the checked copy holds, for the question before the import.
struct ImportSummary {
    QStringList accountNames;  // the first few, as a message shows them
    qsizetype accounts = 0;
    qint64 records = 0;
    qint64 entries = 0;
    qint64 pictures = 0;
    qint64 files = 0;
    bool holdsAccount = false;  // the account whose owner value was given is among them
};
Result<ImportSummary> summarizeStagedImport(const QString& dataFolder, const QString& owner);
// The middle of the question before an import: what the file holds, a warning when it lacks
// the account of `userName` (the logged-in user), and where the current database is kept.
QString importDetails(const ImportSummary& summary, const QString& userName);

// Copies the checked copy into the live database; the database it replaces is first kept as a
// checked copy in the data folder's Backups folder, made at `made`. The kept copy's path.
Result<QString> completeImport(const QString& dataFolder, const QString& databasePath,
                               const QDateTime& made, const CopyHooks& hooks = {});

}  // namespace ks
