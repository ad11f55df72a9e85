// The ways out of a session and of the program: logout, compaction, the shutdown path.
#include <QApplication>

#include "app/CompactPrompt.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/SingleInstance.h"
#include "app/StatusWindow.h"
#include "app/SyncPasses.h"
#include "core/BackupKeeping.h"
#include "core/DatabaseTexts.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalPage.h"
#include "options/OptionsPage.h"
#include "storage/Compaction.h"
#include "storage/TempFolder.h"

namespace ks {

namespace {

// The windows of the program, in the order the shutdown path closes them.
const char* const kWindowsInClosingOrder[] = {"Form1", "Form2", "Form3",  "Form4",   "Form5",
                                              "Form6", "Form7", "Form11", "frmLogin"};

}  // namespace

bool Program::offerJournalSave() {
    if (!state_.LoggedIn || !main_) {
        return true;
    }
    main_->pressButton(QStringLiteral("cmdToday"));  // offers to save a changed entry
    const auto* journal = main_->findChild<JournalPage*>();
    return journal == nullptr || !journal->hasUnsavedText();
}

void Program::logOut() {
    if (state_.LoggedIn && main_) {
        // A save that failed (the user has been told) keeps the user with their text.
        if (!offerJournalSave()) {
            return;
        }
        CompactDatabase(false);
    }
    endSession();
    showLoginWindow();
}

void Program::QuitApplication() {
    if (state_.Quitting) {
        return;
    }
    state_.Quitting = true;
    if (!offerJournalSave()) {
        state_.Quitting = false;  // the user stays with their unsaved text
        return;
    }
    if (main_) {
        main_->forgetCopiedSecrets();
    }
    endSyncSession();
    CompactDatabase(false);
    closeAllWindows();
    removeWorkFolder(state_.TempFolder);
    endProcess();
}

void Program::UnloadAllForms() {
    state_.Quitting = true;
    if (main_) {
        main_->forgetCopiedSecrets();
    }
    closeAllWindows();
    endProcess();
}

void Program::closeAllWindows() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const char* name : kWindowsInClosingOrder) {
        for (QWidget* window : windows) {
            if (window->objectName() == QLatin1String(name)) {
                window->close();
            }
        }
    }
}

void Program::endProcess() {
    if (database_) {
        database_->CloseAllDatabaseObjects();
    }
    // Let go of the data folder at once: a new copy (the restart after an import) waits for it.
    instance_.reset();  // no longer answering other starts, before the lock goes
    lock_.reset();
    ended_ = true;
    if (options_.endProcess) {
        options_.endProcess(0);
    }
}

CompactPrompt& Program::compactPrompt() {
    if (!prompt_) {
        prompt_ = std::make_unique<CompactPrompt>(state_);
        prompt_->selectPolicy(state_.CompactPolicy);
    }
    return *prompt_;
}

void Program::selectPromptPolicy(int policy) {
    compactPrompt().selectPolicy(policy);
}

bool Program::CompactDatabase(bool forced) {
    bool succeeded = true;
    if (state_.DataDeleted && database_) {
        if (forced) {
            state_.CompactNow = true;
        } else if (state_.CompactPolicy == 1) {
            if (main_) {
                main_->hide();
            }
            compactPrompt().ask();
            savePolicy(compactPrompt().chosenPolicy());
        } else {
            // 0 never; 2 (and any other number, which the options show as "always") always.
            state_.CompactNow = state_.CompactPolicy != 0;
        }
        if (state_.CompactNow) {
            succeeded = compactNow();
        }
    }
    // A lock that came once the compaction was done has hidden the window for good.
    if (forced && main_ && !state_.Quitting && state_.LoggedIn) {
        main_->show();
        main_->activateFromProgram();
    }
    return succeeded;
}

bool Program::compactNow() {
    // The day's copy gives way: the copy made before compaction keeps the same. A pass over the
    // sync folder ends first.
    daily_.reset();
    struct PassesHeld {
        SyncPasses* passes;
        ~PassesHeld() {
            if (passes != nullptr) {
                passes->releasePasses();
            }
        }
    } held{sync_.get()};
    if (sync_) {
        sync_->holdPasses();
    }
    BackupBefore backup(*services_, backupReason::kCompaction);
    if (!backup.mayGoOn()) {
        return false;
    }
    if (!status_) {
        status_ = std::make_unique<StatusWindow>(state_);
    }
    if (main_) {
        main_->setEnabled(false);
    }
    status_->showStatus(QStringLiteral("Compacting Database ..."));
    database_->CloseAllDatabaseObjects();
    const CompactionOutcome outcome = compactDatabaseFile(
        state_.DatabasePath, state_.DataFolder + QStringLiteral("OutputDB.mdb"), PassPhrase());
    status_->hide();
    if (main_) {
        main_->setEnabled(true);
    }
    QCoreApplication::processEvents();
    if (!outcome.ok) {
        dialogs_.message(MessageIcon::Critical, state_.AppTitle, describeCompaction(outcome));
        return false;
    }
    backup.actionDone();
    state_.DataDeleted = false;
    return true;
}

void Program::compactOnDemand() {
    const bool deletedBefore = state_.DataDeleted;
    state_.DataDeleted = true;
    const bool succeeded = CompactDatabase(true);
    // Still worth compacting later if this attempt failed.
    state_.DataDeleted = succeeded ? false : deletedBefore;
}

bool Program::saveOnExitPolicy(int policy) {
    state_.CompactPolicy = policy;
    compactPrompt().selectPolicy(policy);
    return savePolicy(policy);
}

}  // namespace ks
