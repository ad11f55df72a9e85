#pragma once

#include "cli/CliOptions.h"
#include "core/Account.h"
#include "storage/Database.h"

namespace ks::cli {

// Runs one read-only command for the logged-in owner; the exit code. Results go to standard
// output, refusals and errors to standard error.
int runCommand(const CliOptions& options, DatabaseAccess& database, const Account& account);

}  // namespace ks::cli
