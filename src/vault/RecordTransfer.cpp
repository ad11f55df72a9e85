#include "vault/RecordTransfer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "core/FailureReport.h"
#include "core/LongStep.h"
#include "interchange/CsvReader.h"
#include "storage/Backups.h"
#include "vault/ImportMappingWindow.h"
#include "vault/InterchangeTexts.h"
#include "vault/RecordInterchange.h"

namespace ks {

namespace {

QString importTitle() {
    return QStringLiteral("Import Records");
}

// The wait cursor while a long step runs; the events that came meanwhile run first.
class BusyCursor {
public:
    BusyCursor() {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    // Made first: a lock among those events waits for the step.
    LongStep step_;
};

}  // namespace

RecordTransfer::RecordTransfer(Services& services, QWidget* window)
    : QObject(window), services_(services), window_(window) {
}

std::optional<ColumnMapping> RecordTransfer::mappingFor(const QString& fileName,
                                                        const CsvTable& table) {
    const CsvPreview preview = previewOf(table);
    if (preview.format != CsvFormat::Other) {
        return preview.mapping;
    }
    return ImportMappingWindow::choose(
        services_.state.AppTitle + QStringLiteral(" - ") + importTitle(), fileName, preview,
        window_);
}

void RecordTransfer::importRecords() {
    const QString path = services_.dialogs.openFile(
        importTitle(),
        {QStringLiteral("CSV files (*.csv *.CSV *.txt)"), QStringLiteral("All files (*)")});
    if (path.isEmpty()) {
        return;
    }
    const QString title = services_.state.AppTitle;
    const QString fileName = QFileInfo(path).fileName();
    CsvRead read;
    {
        BusyCursor busy;
        read = readCsvFile(path);
    }
    if (!read.ok()) {
        services_.dialogs.message(MessageIcon::Exclamation, title,
                                  csvRefusedText(fileName, *read.error));
        return;
    }
    const std::optional<ColumnMapping> mapping = mappingFor(fileName, read.table);
    if (!mapping) {
        return;
    }
    const CsvFormat format = detectFormat(read.table.header);
    const Account& account = services_.state.CurrentAccount;
    std::optional<Result<ImportPlan>> plan;
    {
        BusyCursor busy;
        plan = planRecordImport(services_.database, account, read.table, format, *mapping);
    }
    if (!plan->ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The records could not be read."),
                              plan->status());
        return;
    }
    const PlanCounts counts = plan->value().counts();
    if (counts.created + counts.renamed == 0) {
        services_.dialogs.message(MessageIcon::Information, title,
                                  nothingToImportText(fileName, plan->value()));
        return;
    }
    if (!services_.dialogs.askYesNo(title, importQuestionText(fileName, format, plan->value()))) {
        return;
    }
    writePlan(plan->value());
}

void RecordTransfer::writePlan(const ImportPlan& plan) {
    RecordImportOutcome outcome;
    {
        BusyCursor busy;
        outcome =
            writeRecordImport(services_.database, services_.state.CurrentAccount, plan,
                              backupsFolderIn(services_.state.DataFolder), services_.clock.now());
    }
    const QString title = services_.state.AppTitle;
    if (!outcome.ok()) {
        services_.dialogs.message(MessageIcon::Exclamation, title, importFailedText(plan, outcome));
        return;
    }
    Q_EMIT recordsImported();
    services_.dialogs.message(MessageIcon::Information, title, importDoneText(plan, outcome));
}

void RecordTransfer::exportRecords() {
    const QString title = services_.state.AppTitle;
    if (!services_.dialogs.askYesNoWithDefault(title, exportWarningText(), DefaultAnswer::No)) {
        return;
    }
    const QString path = services_.dialogs.saveFile(
        QStringLiteral("Export Records"), {QStringLiteral("CSV files (*.csv)")},
        QDir::homePath() + QStringLiteral("/keystead-records.csv"));
    if (path.isEmpty()) {
        return;
    }
    RecordExportOutcome outcome;
    {
        BusyCursor busy;
        outcome = exportRecordsAsCsv(services_.database, services_.state.CurrentAccount, path);
    }
    if (!outcome.ok()) {
        services_.dialogs.message(MessageIcon::Exclamation, title, exportFailedText(outcome));
        return;
    }
    services_.dialogs.message(MessageIcon::Information, title,
                              exportDoneText(outcome.records, path));
}

}  // namespace ks
