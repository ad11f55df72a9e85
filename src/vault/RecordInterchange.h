#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "core/Account.h"
#include "interchange/CsvReader.h"
#include "interchange/ImportPlan.h"
#include "interchange/PlainRecord.h"
#include "interchange/RecordFormats.h"
#include "storage/Database.h"
#include "storage/FileServices.h"
#include "vault/RecordBatch.h"

namespace ks {

// The import of password records from another password manager's CSV file and their export
// as KeePassXC's CSV, for the window and the command line alike: find (read, plan), then ask,
// then write.

PlainRecord plainRecordOf(const RecordFields& fields);
RecordFields recordFieldsOf(const PlainRecord& record);

// What a file will add to the account's records, before anything is written: the rows mapped
// under `mapping` and planned against the short names already taken and the account's records.
Result<ImportPlan> planRecordImport(DatabaseAccess& database, const Account& account,
                                    const CsvTable& table, CsvFormat format,
                                    const ColumnMapping& mapping);

struct RecordImportOutcome {
    DbStatus backupStatus;  // why no copy of the database could be kept (nothing was written)
    QString backupPath;     // the copy kept before the write
    BatchSaveResult saved;

    bool ok() const { return backupStatus.ok() && saved.outcome == SaveOutcome::Saved; }
};

// Writes the plan's records in one transaction. With a backups folder, a checked copy of the
// database is kept there first (as before a database import); when it cannot be made nothing
// is written.
RecordImportOutcome writeRecordImport(DatabaseAccess& database, const Account& account,
                                      const ImportPlan& plan, const QString& backupsFolder,
                                      const QDateTime& made);

struct RecordExportOutcome {
    DbStatus status;  // reading the records
    FsResult written;
    int records = 0;

    bool ok() const { return status.ok() && written.ok; }
};

// Writes every record of the account to `path` as KeePassXC's CSV, readable by the owner only.
RecordExportOutcome exportRecordsAsCsv(DatabaseAccess& database, const Account& account,
                                       const QString& path);

}  // namespace ks
