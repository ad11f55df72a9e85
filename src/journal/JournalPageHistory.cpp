// The Journal tab's history of the shown day: the window, a restore saved as the entry, and the
// entry written elsewhere (a merge, another machine).
#include <QPushButton>

#include "journal/JournalDate.h"
#include "journal/JournalHistoryWindow.h"
#include "journal/JournalMessages.h"
#include "journal/JournalPage.h"
#include "journal/JournalSave.h"
#include "journal/JournalStore.h"
#include "journal/JournalText.h"
#include "widgets/TextBox.h"

namespace ks {

void JournalPage::openHistory() {
    auto* window = new JournalHistoryWindow(services_, journalDateText(shownDay_), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &JournalHistoryWindow::restoreAsked, this, &JournalPage::restoreText);
    window->refresh();
    window->open();
}

void JournalPage::restoreText(const QString& text) {
    const QString dateText = journalDateText(shownDay_);
    const QString typed = entryText(txtJournal_);
    // What was typed and not saved is offered for saving first, as before a change of day;
    // the restore then keeps it in the history.
    if (typed != entryText(txtJournal2_) &&
        services_.dialogs.askYesNo(services_.state.AppTitle, journal::saveChangesQuestion()) &&
        !SaveJournalEntry(services_, dateText, typed, true).saved()) {
        return;
    }
    if (SaveJournalEntry(services_, dateText, text, true, true).saved()) {
        showEntryText(txtJournal_, text);
        showEntryText(txtJournal2_, text);
        markEntryDays();
    }
}

void JournalPage::showStoredEntry() {
    // Text typed and not saved stays on screen: its save later wins, and the version written
    // elsewhere goes to history then.
    if (!hasUnsavedText()) {
        const QString dateText = journalDateText(shownDay_);
        const Result<std::optional<QString>> stored =
            ks::LoadJournalEntry(services_.database, services_.state.CurrentAccount, dateText);
        if (stored.ok() && stored.value().value_or(QString()) != entryText(txtJournal2_)) {
            LoadJournalEntry(dateText);
        }
    }
    markEntryDays();
}

}  // namespace ks
