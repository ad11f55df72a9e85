#pragma once

#include <QString>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks::cli {

// import-csv: the records of a CSV file added for the account as the window's import adds
// them (a checked copy of the database kept in `backupsFolder` first), without a question; the
// format is told by the header, the columns of any other file are guessed by their names. The
// counts go to standard output.
int importCsv(DatabaseAccess& database, const Account& account, const QString& file,
              const QString& backupsFolder);

// export-csv: the account's records written to `file` as KeePassXC's CSV, readable by the owner
// only.
int exportCsv(DatabaseAccess& database, const Account& account, const QString& file);

// merge: the database `file` merged into the data folder's, every account of it, without a
// question (a checked copy of the database kept in the data folder's Backups folder first);
// with `dryRun` nothing is written. What changed (or would change) goes to standard output.
int mergeFile(DatabaseAccess& database, const Account& account, const QString& file,
              const QString& dataFolder, bool dryRun);

}  // namespace ks::cli
