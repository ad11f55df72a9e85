#pragma once

#include <QString>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks::cli {

// sync: applies the other machines' files in the sync folder (`folder`, or without it the one
// chosen in Options for the data folder), then writes this machine's changes once. What was
// applied, written and skipped goes to standard output.
int syncFolder(DatabaseAccess& database, const Account& account, const QString& folder,
               const QString& dataFolder);

}  // namespace ks::cli
