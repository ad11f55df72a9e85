// Locking the session, and what logout and lock share at the end of a session.
#include <QApplication>
#include <QTimer>

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProcessMemory.h"
#include "app/Program.h"
#include "app/SessionLock.h"
#include "app/SyncPasses.h"
#include "core/LongStep.h"
#include "options/OptionsPage.h"

namespace ks {

namespace {

// The windows of the program a lock closes, each one's close being its Cancel, Close or No. The
// record editor is closed by the vault, which knows whether it holds typed values.
const char* const kWindowsALockCloses[] = {
    "Form3",                 // About
    "Form4",                 // picture viewer
    "Form5",                 // categories
    "Form6",                 // check-out
    "Form7",                 // compaction prompt of a logout or quit: not now
    "frmPasswordGenerator",  // password generator
    "frmImportMapping",      // an import's column mapping: nothing is imported
    "frmExportJournal",      // the journal's export: nothing is written
    "frmRecordHistory",      // a record's history
    "frmJournalHistory",     // a day's history in the journal
};
// The windows of long operations, which finish before a lock.
const char* const kLongWorkWindows[] = {"Form11", "dlgProtectProgress"};

std::chrono::milliseconds idleLimit(const LockSettings& lock, std::chrono::milliseconds minute) {
    return lock.idleMinutes * minute;
}

}  // namespace

SessionLock& Program::sessionLock() {
    if (!sessionLock_) {
        sessionLock_ = std::make_unique<SessionLock>([this] { return tryLock(); });
    }
    return *sessionLock_;
}

void Program::lock() {
    if (state_.LoggedIn) {
        sessionLock().request();
    }
}

void Program::desktopLocked() {
    if (state_.Lock.onScreenLock) {
        lock();
    }
}

bool Program::saveLockSettings(const LockSettings& lock) {
    state_.Lock = lock;
    if (state_.LoggedIn) {
        sessionLock().setIdleLimit(idleLimit(lock, options_.lockMinute));
    }
    return settingsSaved(writeLockSettings(state_.DataFolder, lock));
}

void Program::startSessionLock() {
    sessionLock().sessionStarted(idleLimit(state_.Lock, options_.lockMinute));
}

bool Program::busyWithLongWork() const {
    if (LongStep::anyUnderWay() || (sync_ && sync_->running())) {
        return true;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* window : windows) {
        for (const char* name : kLongWorkWindows) {
            if (window->isVisible() && window->objectName() == QLatin1String(name)) {
                return true;
            }
        }
    }
    return false;
}

bool Program::closeWindowsInTheWay() {
    bool closed = false;
    if (QWidget* popup = QApplication::activePopupWidget(); popup != nullptr) {
        popup->close();
        closed = true;
    }
    const QWidgetList windows = QApplication::allWidgets();
    for (QWidget* window : windows) {
        for (const char* name : kWindowsALockCloses) {
            if (window->isWindow() && window->isVisible() &&
                window->objectName() == QLatin1String(name)) {
                window->close();
                closed = true;
            }
        }
    }
    return closed;
}

LockStep Program::tryLock() {
    if (!state_.LoggedIn || !main_) {
        return LockStep::Done;
    }
    // Messages waiting are closed and questions answered first, also those of a long operation
    // or of the record editor; the code that showed them goes on once this returns.
    switch (dialogs_.closeForLock()) {
        case BoxesAtLock::Closing:
            return LockStep::Soon;
        case BoxesAtLock::Kept:
            return LockStep::Later;  // an input box with typed text, as a changed editor
        case BoxesAtLock::None:
            break;
    }
    // A long operation finishes first; a record editor with typed values waits to be closed.
    if (busyWithLongWork() || main_->editorHasChanges()) {
        return LockStep::Later;
    }
    // Closed windows end their modal loops once this returns; another modal window holds the
    // lock back.
    if (closeWindowsInTheWay()) {
        return LockStep::Soon;
    }
    // On the way out of the program what it asked has been answered (the compaction prompt No):
    // the way out goes on and ends the session itself.
    if (state_.Quitting) {
        return LockStep::Done;
    }
    if (QApplication::activeModalWidget() != nullptr) {
        return LockStep::Later;
    }
    if (!main_->saveJournalUnattended()) {
        return LockStep::Abandoned;  // the text stays; the user has been told why
    }
    // Compaction may ask, and may take long: it waits for the next logout or quit.
    endSession();
    showLoginWindow();
    return LockStep::Done;
}

void Program::endSession() {
    if (sessionLock_) {
        sessionLock_->sessionEnded();
    }
    endSyncSession();
    if (main_) {
        main_->forgetCopiedSecrets();
        main_->forgetSession();
        main_->hide();
    }
    // The account's data key leaves memory with the session.
    state_.CurrentAccount = Account();
    if (sync_) {
        sync_->applyAfterSession();  // what waited for the session to end (a protection)
    }
    scrubFreedMemory();
    // Once more on the event loop's next turn, after deleting what the closed windows gave to
    // be deleted later (from the loop itself, where no window's code is under way): a block freed
    // after the wiping could sit in the heap's per-thread cache, which freeing does not
    // overwrite.
    QTimer::singleShot(0, this, [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        scrubFreedMemory();
    });
}

}  // namespace ks
