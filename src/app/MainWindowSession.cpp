// The main window at the end of a session (logout or lock).
#include <QStatusBar>

#include "app/MainWindow.h"
#include "journal/JournalPage.h"
#include "options/OptionsPage.h"
#include "vault/VaultPage.h"

namespace ks {

bool MainWindow::editorHasChanges() const {
    return vault_->editorHasChanges();
}

bool MainWindow::saveJournalUnattended() {
    return journal_->saveUnattended();
}

void MainWindow::forgetSession() {
    vault_->forgetSession();
    journal_->forgetSession();
    options_->clearPasswordBoxes();
    statusBar()->clearMessage();
}

}  // namespace ks
