// The main window at the end of a session (logout or lock), and changes made elsewhere during it.
#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include "app/MainWindow.h"
#include "files/FilesPage.h"
#include "images/ImagesPage.h"
#include "journal/JournalPage.h"
#include "options/OptionsPage.h"
#include "vault/VaultPage.h"

namespace ks {

namespace {

// How often a change from elsewhere tries again to show while a question is in front.
constexpr int kChangesRetryMs = 500;

}  // namespace

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

void MainWindow::showChangesFromElsewhere() {
    if (!services_.state.LoggedIn || services_.state.Quitting) {
        return;  // the next login reads everything afresh
    }
    // Hidden (the record editor is open) or disabled (a long step): the activation that follows
    // reads the lists. Under a question the lists stay as the question was asked about them.
    if (!isVisible() || !isEnabled() || QApplication::activeModalWidget() != nullptr) {
        if (isVisible()) {
            QTimer::singleShot(kChangesRetryMs, this, &MainWindow::showChangesFromElsewhere);
        }
        return;
    }
    vault_->reloadLists();
    images_->ListImages();
    files_->RefreshFileList();
    journal_->showStoredEntry();
}

}  // namespace ks
