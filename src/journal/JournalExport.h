#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include "core/Account.h"
#include "interchange/JournalFormats.h"
#include "storage/Database.h"
#include "storage/FileServices.h"

namespace ks {

// The account's journal entries of the days from `from` to `to` (both included) that hold
// text, in calendar order, decrypted (an entry that does not open is shown as damaged).
Result<QList<JournalExportEntry>> readJournalRange(DatabaseAccess& database, const Account& account,
                                                   QDate from, QDate to);

struct JournalExportOutcome {
    DbStatus status;  // reading the entries
    FsResult written;
    int entries = 0;

    bool ok() const { return status.ok() && written.ok; }
};

// Writes those entries to `path` in `format`, readable by the owner only; a failure leaves an
// earlier file of that name as it was.
JournalExportOutcome exportJournal(DatabaseAccess& database, const Account& account, QDate from,
                                   QDate to, JournalFormat format, const QString& path);

// What the user is told after an export, and when it failed.
QString journalExportDoneText(int entries, const QString& path);
QString journalExportFailedText(const JournalExportOutcome& outcome);

}  // namespace ks
