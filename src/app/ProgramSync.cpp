// The program's passes over the sync folder: at start, at login, after saves, when the folder
// changes, and at the end of a session.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/SyncPasses.h"
#include "options/OptionsPage.h"

namespace ks {

SyncPasses& Program::sync() {
    if (!sync_) {
        sync_ = std::make_unique<SyncPasses>(state_, database_->path(), options_.syncWriteDelay,
                                             options_.syncSettle);
        // Every commit of the session's connections is a save of this machine; the passes
        // themselves work on connections of their own.
        database_->setCommitListener([passes = sync_.get()] { passes->noteWrite(); });
        connect(sync_.get(), &SyncPasses::changedHere, this, [this] {
            if (main_) {
                main_->showChangesFromElsewhere();
            }
        });
        connect(sync_.get(), &SyncPasses::passEnded, this, [this] {
            if (main_ && state_.LoggedIn) {
                main_->optionsPage()->showSyncOutcome(sync_->lastOutcome());
            }
        });
    }
    return *sync_;
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
