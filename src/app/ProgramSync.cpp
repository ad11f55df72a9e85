// The program's passes over the sync folder: at start, at login, after saves, when the folder
// changes, and at the end of a session.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/SyncPasses.h"
#include "options/OptionsPage.h"
#include "sync/SyncFolder.h"

namespace ks {

SyncPasses& Program::sync() {
    if (!sync_) {
        sync_ = std::make_unique<SyncPasses>(state_, database_->path(), options_.syncWriteDelay,
                                             options_.syncSettle);
        // Every commit of the session's connections is a save of this machine; the passes
        // themselves work on connections of their own.
        database_->setCommitListener([passes = sync_.get()] { passes->noteWrite(); });
        connect(sync_.get(), &SyncPasses::changedHere, this, [this] {
            // A session about to be locked does not read the values it can no longer open.
            if (main_ && !protectedUnderSession(sync_->lastOutcome())) {
                main_->showChangesFromElsewhere();
            }
        });
        connect(sync_.get(), &SyncPasses::passEnded, this, [this] {
            if (main_ && state_.LoggedIn) {
                main_->optionsPage()->showSyncOutcome(sync_->lastOutcome());
            }
            if (protectedUnderSession(sync_->lastOutcome())) {
                lock();  // the login asks for the pass phrase from now on
            }
        });
    }
    return *sync_;
}

bool Program::protectedUnderSession(const SyncOutcome& outcome) const {
    // A pass that began before the login did not know of the session, and may have taken the
    // protection of its account from another machine; a session without the key ends.
    if (!state_.LoggedIn || state_.CurrentAccount.isProtected()) {
        return false;
    }
    const QList<AccountMergeReport>& accounts = outcome.applied.accounts;
    return std::any_of(accounts.cbegin(), accounts.cend(), [this](const AccountMergeReport& a) {
        return a.protectionTaken && a.owner == state_.CurrentAccount.owner;
    });
}

void Program::syncSettingsChanged() {
    if (database_) {
        sync().settingsChanged();
    }
}

void Program::holdSync() {
    endSyncSession();
}

void Program::resumeSync() {
    if (sync_ && state_.LoggedIn) {
        sync_->applyNow();
    }
}

void Program::endSyncSession() {
    if (sync_) {
        sync_->writeBeforeEnd();
        sync_->sessionEnded();
    }
}

}  // namespace ks
