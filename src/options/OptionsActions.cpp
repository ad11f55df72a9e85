// What the buttons of the Options tab do: change of password, export and import.
#include <QGuiApplication>
#include <QLineEdit>

#include "core/BackupKeeping.h"
#include "core/DatabaseTexts.h"
#include "core/FailureReport.h"
#include "core/Services.h"
#include "options/AccountProtection.h"
#include "options/OptionsHost.h"
#include "options/OptionsMessages.h"
#include "options/OptionsPage.h"
#include "options/PasswordChange.h"
#include "storage/BackupRotation.h"
#include "widgets/VolumeFolderChooser.h"

namespace ks {

void OptionsPage::Command5_Click() {
    ProgramState& state = services_.state;
    if (state.CurrentAccount.isProtected()) {
        changePassPhrase();
        return;
    }
    const auto refuse = [this, &state](const QString& text) {
        services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle, text);
    };
    const PasswordRefusal refusal = validatePasswordChange(
        txtOldPassword_->text(), txtNewPassword_->text(), txtNewPassword2_->text());
    if (refusal != PasswordRefusal::None) {
        refuse(refusalMessage(refusal));
        return;
    }
    BackupBefore backup(services_, backupReason::kPasswordChange);
    if (!backup.mayGoOn()) {
        return;
    }
    const PasswordChangeOutcome outcome =
        ChangePassword(services_.database, state.UserNameCipher, state.PasswordCipher,
                       txtOldPassword_->text().trimmed(), txtNewPassword_->text().trimmed());
    services_.database.CloseAllDatabaseObjects();
    switch (outcome.result) {
        case PasswordChangeOutcome::Result::OldIncorrect:
            refuse(oldPasswordWrongMessage());
            return;
        case PasswordChangeOutcome::Result::Failed:
            reportDatabaseFailure(services_, passwordNotChangedMessage(), outcome.status);
            return;
        case PasswordChangeOutcome::Result::Changed:
            backup.actionDone();
            break;
    }
    // The password in force from now on is the one a second change must name.
    state.PasswordCipher = outcome.newPasswordCipher;
    clearPasswordBoxes();
    services_.dialogs.message(MessageIcon::Information, state.AppTitle, passwordChangedMessage());
}

// A protected account's password is its pass phrase: its data key is wrapped again, under the
// pass phrase rules.
void OptionsPage::changePassPhrase() {
    ProgramState& state = services_.state;
    const PassPhraseRefusal refusal = validateNewPassPhrase(
        txtOldPassword_->text(), txtNewPassword_->text(), txtNewPassword2_->text());
    if (refusal != PassPhraseRefusal::None) {
        services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                  passPhraseRefusalMessage(refusal));
        return;
    }
    BackupBefore backup(services_, backupReason::kPasswordChange);
    if (!backup.mayGoOn()) {
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ProtectionOutcome outcome = ks::changePassPhrase(
        services_.database, state.UserNameCipher, txtOldPassword_->text(), txtNewPassword_->text());
    QGuiApplication::restoreOverrideCursor();
    services_.database.CloseAllDatabaseObjects();
    switch (outcome.result) {
        case ProtectionOutcome::Result::PasswordIncorrect:
            services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                      oldPasswordWrongMessage());
            return;
        case ProtectionOutcome::Result::Failed:
            reportDatabaseFailure(services_, passwordNotChangedMessage(), outcome.status);
            return;
        case ProtectionOutcome::Result::Protected:
            backup.actionDone();
            break;
    }
    clearPasswordBoxes();
    services_.dialogs.message(MessageIcon::Information, state.AppTitle, passwordChangedMessage());
}

void OptionsPage::cmdExport_Click() {
    const QString folder = transferFolderText(exportChooser_->currentFolder());
    host_.compactBeforeExport();
    if (!hasSpaceFor(freeSpace_, folder, fileSize(services_.state.DatabasePath))) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  notEnoughSpaceMessage());
        return;
    }
    exportTo(folder);
}

void OptionsPage::exportTo(const QString& folder) {
    const ProgramState& state = services_.state;
    host_.beginBusy();
    const bool write =
        !exportExists(folder) ||
        services_.dialogs.askYesNo(state.AppTitle, exportExistsQuestion(state.AppTitle));
    const DbStatus status =
        write ? ExportDatabase(state.DatabasePath, folder, copyHooks_) : DbStatus{};
    // The outcome is told over the main window, not over the status window's "Please wait".
    host_.endBusy();
    if (write && status.ok()) {
        services_.dialogs.message(MessageIcon::Information, state.AppTitle,
                                  exportCompleteMessage());
    } else if (write) {
        reportDatabaseFailure(services_, exportFailedMessage(folder), status);
    }
}

bool OptionsPage::importAllowed(const QString& folder, const QString& source) {
    const ProgramState& state = services_.state;
    Dialogs& dialogs = services_.dialogs;
    if (!FileServices::FileExists(source) && !FileServices::FolderExists(source)) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                        noDatabaseFoundMessage(state.AppTitle, folder));
        return false;
    }
    if (!hasSpaceFor(freeSpace_, folder, fileSize(source))) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle, notEnoughSpaceMessage());
        return false;
    }
    // The data folder's volume takes the checked copy, the copy of the current database and
    // the engine's work: a file too large for it is refused before a byte is written there.
    if (!hasSpaceFor(freeSpace_, state.DataFolder,
                     importSpaceNeeded(fileSize(source), fileSize(state.DatabasePath)))) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                        notEnoughSpaceForImportMessage(state.AppTitle));
        return false;
    }
    // Nothing is replaced by a file that is not a whole database of this program.
    if (const DbStatus status = stageImport(folder, state.DataFolder); !status.ok()) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                        notImportableMessage(state.AppTitle, source) + QStringLiteral("\r\r") +
                            describeDatabaseFailure(status));
        return false;
    }
    return true;
}

bool OptionsPage::importConfirmed(const QString& folder) {
    const ProgramState& state = services_.state;
    const Result<ImportSummary> summary =
        summarizeStagedImport(state.DataFolder, state.UserNameCipher);
    if (!summary.ok()) {
        reportDatabaseFailure(services_, importFailedMessage(), summary.status());
        return false;
    }
    // Enter keeps the current database when the user's own account would be gone after it.
    return services_.dialogs.askYesNoWithDefault(
        state.AppTitle,
        importQuestion(folder, importDetails(summary.value(), state.LoginUserName.trimmed())),
        summary.value().holdsAccount ? DefaultAnswer::Yes : DefaultAnswer::No);
}

void OptionsPage::cmdImport_Click() {
    const ProgramState& state = services_.state;
    const QString folder = transferFolderText(importChooser_->currentFolder());
    if (!importAllowed(folder, folder + exportFileName())) {
        return;
    }
    if (!importConfirmed(folder)) {
        discardStagedImport(state.DataFolder);
        return;
    }
    // No sync pass may write to the file the import replaces; this machine's changes go out
    // first.
    host_.holdSync();
    services_.database.CloseAllDatabaseObjects();
    const Result<QString> kept =
        completeImport(state.DataFolder, state.DatabasePath, services_.clock.now(), copyHooks_);
    if (!kept.ok()) {
        host_.resumeSync();
        reportDatabaseFailure(services_, importFailedMessage(), kept.status());
        return;
    }
    rotateBackups(state.DataFolder);
    services_.dialogs.message(MessageIcon::Information, state.AppTitle,
                              importCompleteMessage(state.AppTitle));
    host_.restartProgram();
}

}  // namespace ks
