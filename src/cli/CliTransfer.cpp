#include "cli/CliTransfer.h"

#include <QDateTime>
#include <QFileInfo>

#include "cli/CliOptions.h"
#include "cli/CliRecords.h"
#include "cli/ConsoleIo.h"
#include "cli/OutputText.h"
#include "core/DatabaseTexts.h"
#include "core/ProgramState.h"
#include "interchange/CsvReader.h"
#include "storage/Backups.h"
#include "sync/DatabaseMerge.h"
#include "vault/InterchangeTexts.h"
#include "vault/RecordInterchange.h"

namespace ks::cli {

namespace {

// What the guessed mapping of a file of no known format takes from which column.
QString guessedColumns(const CsvTable& table, const ColumnMapping& mapping) {
    const std::pair<RecordPart, const char*> parts[] = {
        {RecordPart::ShortName, "short name"}, {RecordPart::UserName, "user name"},
        {RecordPart::Password, "password"},    {RecordPart::Url, "web address"},
        {RecordPart::Notes, "notes"},          {RecordPart::Description, "description"},
        {RecordPart::Category, "category"},    {RecordPart::Totp, "one-time password key"}};
    QStringList used;
    for (const auto& [part, name] : parts) {
        if (const int column = mapping[part]; column >= 0) {
            used.append(QStringLiteral("%1 <- %2")
                            .arg(QLatin1String(name), printable(table.header[column])));
        }
    }
    return used.join(QStringLiteral(", "));
}

}  // namespace

int importCsv(DatabaseAccess& database, const Account& account, const QString& file,
              const QString& backupsFolder) {
    const QString fileName = QFileInfo(file).fileName();
    const CsvRead read = readCsvFile(file);
    if (!read.ok()) {
        tell(csvRefusedText(fileName, *read.error));
        return kRefused;
    }
    const CsvFormat format = detectFormat(read.table.header);
    const ColumnMapping mapping = proposeMapping(read.table.header);
    if (format == CsvFormat::Other) {
        if (mapping[RecordPart::ShortName] < 0 && mapping[RecordPart::UserName] < 0 &&
            mapping[RecordPart::Url] < 0) {
            tell(QStringLiteral("No column of %1 names the records (a title, a name, a user name "
                                "or a web address). Nothing was imported.")
                     .arg(fileName));
            return kRefused;
        }
        tell(QStringLiteral("Columns taken by their names: %1.")
                 .arg(guessedColumns(read.table, mapping)));
    }
    const Result<ImportPlan> plan =
        planRecordImport(database, account, read.table, format, mapping);
    if (!plan.ok()) {
        tell(describeDatabaseStatus(plan.status()));
        return kError;
    }
    const PlanCounts counts = plan.value().counts();
    if (counts.created + counts.renamed == 0) {
        tell(nothingToImportText(fileName, plan.value()));
        return kRefused;
    }
    const RecordImportOutcome outcome = writeRecordImport(
        database, account, plan.value(), backupsFolder, QDateTime::currentDateTime());
    if (!outcome.ok()) {
        tell(importFailedText(plan.value(), outcome));
        return outcome.backupStatus.ok() && outcome.saved.refusedAt >= 0 ? kRefused : kError;
    }
    out() << importDoneText(plan.value(), outcome) << '\n';
    out().flush();
    return kDone;
}

int exportCsv(DatabaseAccess& database, const Account& account, const QString& file) {
    const RecordExportOutcome outcome = exportRecordsAsCsv(database, account, file);
    if (!outcome.ok()) {
        tell(exportFailedText(outcome));
        return kError;
    }
    out() << exportDoneText(outcome.records, printable(file)) << '\n';
    out().flush();
    return kDone;
}

int mergeFile(DatabaseAccess& database, const Account& account, const QString& file,
              const QString& dataFolder, bool dryRun) {
    MergeRequest request;
    request.source = QFileInfo(file).absoluteFilePath();
    request.dataFolder = dataFolder;
    if (account.isProtected()) {
        request.keys.append(account);
    }
    request.backupsFolder = backupsFolderIn(dataFolder);
    request.made = QDateTime::currentDateTime();
    const MergeOutcome outcome =
        dryRun ? planDatabaseMerge(database, request) : mergeDatabase(database, request);
    if (outcome.fileRefused) {
        tell(mergeRefusedText(ProgramState().AppTitle, printable(file), outcome.status.detail));
        return kRefused;
    }
    if (!outcome.ok()) {
        return databaseFailed(outcome.status);
    }
    const bool changes = outcome.report.writesAnything();
    if (changes) {
        out() << (dryRun ? QStringLiteral("A merge of %1 would change:")
                         : QStringLiteral("Merged %1:"))
                     .arg(printable(file))
              << '\n';
    }
    for (const QString& line : mergeReportLines(outcome.report)) {
        out() << printable(line) << '\n';
    }
    if (!outcome.backupPath.isEmpty()) {
        out() << "The database as it was is kept in " << printable(outcome.backupPath) << ".\n";
    }
    out().flush();
    return kDone;
}

}  // namespace ks::cli
