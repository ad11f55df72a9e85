#pragma once

#include "cli/CliOptions.h"
#include "core/Account.h"
#include "storage/Database.h"

namespace ks::cli {

// Runs one command for the logged-in owner of the data folder `dataFolder`; the exit code.
// Results go to standard output, refusals and errors to standard error.
int runCommand(const CliOptions& options, DatabaseAccess& database, const Account& account,
               const QString& dataFolder);

}  // namespace ks::cli
