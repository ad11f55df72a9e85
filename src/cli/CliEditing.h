#pragma once

#include <QString>

#include "cli/CliOptions.h"
#include "core/Account.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"

namespace ks::cli {

// The commands that change the vault, through the record store's and the journal's own rules,
// with the messages the windows show. None of them asks a question beyond the login (a
// record's password with -p aside). What a save replaces goes to history as `history` (the
// data folder's Options) says.

// add SHORTNAME: a new record of the values given.
int addRecord(DatabaseAccess& database, const Account& account, const CliOptions& options,
              const HistorySettings& history);
// edit SHORTNAME: the values given replace the record's; the others stay.
int editRecord(DatabaseAccess& database, const Account& account, const CliOptions& options,
               const HistorySettings& history);
// rm SHORTNAME: the record is deleted.
int removeRecord(DatabaseAccess& database, const Account& account, const QString& name,
                 const HistorySettings& history);
// journal-add DAY: the entry of a day that has none, read from standard input.
int addJournalEntry(DatabaseAccess& database, const Account& account, const CliOptions& options,
                    const HistorySettings& history);

}  // namespace ks::cli
