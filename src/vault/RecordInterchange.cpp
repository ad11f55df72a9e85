#include "vault/RecordInterchange.h"

#include <QFile>
#include <QFileInfo>

#include "crypto/PassPhrase.h"
#include "interchange/KeePassCsvWriter.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"

namespace ks {

PlainRecord plainRecordOf(const RecordFields& fields) {
    return {fields.shortName,   fields.userName, fields.password,
            fields.description, fields.notes,    fields.category};
}

RecordFields recordFieldsOf(const PlainRecord& record) {
    return {record.shortName,   record.userName, record.password,
            record.description, record.notes,    record.category};
}

Result<ImportPlan> planRecordImport(DatabaseAccess& database, const Account& account,
                                    const CsvTable& table, CsvFormat format,
                                    const ColumnMapping& mapping) {
    const Result<QStringList> taken = readTakenShortNames(database, account);
    if (!taken.ok()) {
        return taken.status();
    }
    const Result<QList<StoredRecord>> own = readAccountRecords(database, account);
    if (!own.ok()) {
        return own.status();
    }
    QList<PlainRecord> existing;
    existing.reserve(own.value().size());
    for (const StoredRecord& record : own.value()) {
        existing.append(plainRecordOf(record.fields));
    }
    return ImportPlan(mapRows(table, format, mapping), taken.value(), existing);
}

RecordImportOutcome writeRecordImport(DatabaseAccess& database, const Account& account,
                                      const ImportPlan& plan, const QString& backupsFolder,
                                      const QDateTime& made) {
    RecordImportOutcome outcome;
    if (!backupsFolder.isEmpty()) {
        Result<QString> kept = makeVerifiedBackup(database.path(), PassPhrase(), backupsFolder,
                                                  QStringLiteral("before-record-import"), made);
        if (!kept.ok()) {
            outcome.backupStatus = kept.status();
            return outcome;
        }
        outcome.backupPath = kept.value();
    }
    QList<RecordFields> records;
    for (const PlainRecord& record : plan.records()) {
        records.append(recordFieldsOf(record));
    }
    outcome.saved = createRecords(database, account, records);
    if (outcome.saved.outcome != SaveOutcome::Saved && !outcome.backupPath.isEmpty()) {
        // Nothing was written: the copy would only repeat the database that stays.
        QFile::remove(outcome.backupPath);
        outcome.backupPath.clear();
    } else if (!outcome.backupPath.isEmpty()) {
        rotateBackups(QFileInfo(database.path()).absolutePath());
    }
    return outcome;
}

RecordExportOutcome exportRecordsAsCsv(DatabaseAccess& database, const Account& account,
                                       const QString& path) {
    RecordExportOutcome outcome;
    const Result<QList<StoredRecord>> records = readAccountRecords(database, account);
    if (!records.ok()) {
        outcome.status = records.status();
        return outcome;
    }
    QList<PlainRecord> plain;
    plain.reserve(records.value().size());
    for (const StoredRecord& record : records.value()) {
        plain.append(plainRecordOf(record.fields));
    }
    outcome.written = KeePassCsvWriter::writeFile(path, plain);
    outcome.records = static_cast<int>(plain.size());
    return outcome;
}

}  // namespace ks
