// "Merge...": another database of ours (an export, another machine's database) merged into this
// one by row identity, after a question that shows what the merge will add, change and delete.
#include <QFileInfo>

#include "core/BackgroundStep.h"
#include "core/FailureReport.h"
#include "core/Services.h"
#include "crypto/PassPhrase.h"
#include "options/OptionsHost.h"
#include "options/OptionsMessages.h"
#include "options/OptionsPage.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"
#include "sync/DatabaseMerge.h"

namespace ks {

namespace {

QString mergeChooserTitle() {
    return QStringLiteral("Merge Database");
}

}  // namespace

MergeOutcome OptionsPage::mergeBesideWindows(const MergeRequest& request, bool write,
                                             const QString& status) {
    host_.beginBackgroundWork(status);
    // The step opens the database on a connection of its own, on its own thread.
    const QString path = services_.database.path();
    MergeOutcome outcome = runBesideWindows([&request, &path, write] {
        DatabaseAccess database(path, PassPhrase());
        return write ? mergeDatabase(database, request) : planDatabaseMerge(database, request);
    });
    host_.endBusy();
    return outcome;
}

// Tells why a merge did not happen; true when it did.
bool OptionsPage::mergeSucceeded(const MergeOutcome& outcome, const QString& file) {
    if (outcome.fileRefused) {
        services_.dialogs.message(
            MessageIcon::Exclamation, services_.state.AppTitle,
            mergeRefusedText(services_.state.AppTitle, file, outcome.status.detail));
        return false;
    }
    if (!outcome.ok()) {
        reportDatabaseFailure(services_, mergeFailedMessage(), outcome.status);
        return false;
    }
    return true;
}

void OptionsPage::cmdMerge_Click() {
    const ProgramState& state = services_.state;
    const QString file = services_.dialogs.openFile(
        mergeChooserTitle(), {state.AppTitle + QStringLiteral(" databases (*.ksd *.mdb)"),
                              QStringLiteral("All files (*)")});
    if (file.isEmpty()) {
        return;
    }
    MergeRequest request;
    request.source = QFileInfo(file).absoluteFilePath();
    request.dataFolder = state.DataFolder;
    request.keys.append(state.CurrentAccount);
    request.backupsFolder = backupsFolderIn(state.DataFolder);
    request.made = services_.clock.now();
    request.failAfter = mergeFailAfter_;
    const MergeOutcome planned =
        mergeBesideWindows(request, false, QStringLiteral("Reading the chosen database ..."));
    if (!mergeSucceeded(planned, file)) {
        return;
    }
    const QStringList lines = mergeReportLines(planned.report);
    if (!planned.report.writesAnything()) {
        services_.dialogs.message(MessageIcon::Information, state.AppTitle,
                                  lines.join(QStringLiteral("\r")));
        return;
    }
    if (!services_.dialogs.askYesNoWithDefault(state.AppTitle, mergeQuestion(file, lines),
                                               DefaultAnswer::No)) {
        return;
    }
    const MergeOutcome merged =
        mergeBesideWindows(request, true, QStringLiteral("Merging the chosen database ..."));
    if (!mergeSucceeded(merged, file)) {
        return;
    }
    rotateBackups(state.DataFolder);
    // The lists show the merged rows at once; text typed in the journal stays.
    host_.rowsChanged();
    services_.dialogs.message(MessageIcon::Information, state.AppTitle,
                              mergeCompleteMessage(mergeReportLines(merged.report)));
}

}  // namespace ks
