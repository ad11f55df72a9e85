#pragma once

#include <QString>

namespace ks {

// The work files the program keeps in the data folder while an operation runs; a crash leaves
// them behind, and the next start (holding the data folder's lock) removes them.

// The checked copy an import works on: dataFolder + "Import.part".
QString importStagingPath(const QString& dataFolder);
// The checked copy a merge reads the other database from: dataFolder + "Merge.part".
QString mergeStagingPath(const QString& dataFolder);
// The checked copy of another machine's file in the sync folder: dataFolder + "Sync.part".
QString syncStagingPath(const QString& dataFolder);

// Notes that an export is writing `partialFile` (outside the data folder), so that a start after
// a crash can remove it; forgetPartialExport drops the note once the export has ended.
void notePartialExport(const QString& dataFolder, const QString& partialFile);
void forgetPartialExport(const QString& dataFolder);

// Removes what interrupted operations left: the import's, merge's and sync's staging copies, the
// files a replacing write makes beside Data.mdb, Data.dat and an older build's Data.mdb.bak,
// unfinished backups, and a noted export's partial file. Never the database, its journal or a
// finished backup.
void removeStaleWorkFiles(const QString& dataFolder);

}  // namespace ks
