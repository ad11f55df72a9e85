// The search box of the Password Vault tab: Ctrl+F comes to it, Esc empties it, and what a
// search looks in is read ahead between other events: a step now and then while the window is
// idle, and at every pause once the box has the focus. A protected account's listed values open
// ahead of being shown in the same way.
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>
#include <QTimer>

#include "vault/RecordListModel.h"
#include "vault/VaultPage.h"

namespace ks {

void VaultPage::buildSearch() {
    txtSearch_ = new QLineEdit(this);
    txtSearch_->setObjectName(QStringLiteral("txtSearchRecords"));
    txtSearch_->setPlaceholderText(tr("Search records (Ctrl+F)"));
    txtSearch_->setToolTip(
        tr("Lists only the records whose short name, user name or description contains the "
           "text. Esc empties the box."));
    txtSearch_->setClearButtonEnabled(true);
    txtSearch_->installEventFilter(this);
    searchAhead_ = new QTimer(this);
    searchAhead_->setObjectName(QStringLiteral("searchAhead"));
    searchAhead_->setInterval(0);
    connect(searchAhead_, &QTimer::timeout, this, &VaultPage::readSearchAhead);
    listingAhead_ = new QTimer(this);
    listingAhead_->setObjectName(QStringLiteral("listingAhead"));
    connect(listingAhead_, &QTimer::timeout, this, &VaultPage::openListedAhead);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        if (isVisible()) {
            txtSearch_->setFocus(Qt::ShortcutFocusReason);
            txtSearch_->selectAll();
        }
    });
}

void VaultPage::startSearchAhead(bool soon) {
    // A step now and then leaves the window idle in between: nothing the user does waits for
    // more than one step.
    constexpr int kIdleStepPause = 20;  // ms
    if (soon && searchAhead_->isActive() && searchAhead_->interval() == 0) {
        return;
    }
    searchAhead_->start(soon ? 0 : kIdleStepPause);
}

void VaultPage::readSearchAhead() {
    // A millisecond or two of reading at a time, so that keys and clicks are never held up: a
    // sealed record's three texts open at a few times the cost of the shared cipher's.
    constexpr int kRowsPerStep = 500;
    constexpr int kSealedRowsPerStep = 150;
    if (!services_.state.LoggedIn) {
        searchAhead_->stop();
        return;
    }
    const Account& account = services_.state.CurrentAccount;
    const Result<bool> done = records_.ReadSearchAhead(
        account, account.isProtected() ? kSealedRowsPerStep : kRowsPerStep);
    // A failure is reported by the search itself, if one comes.
    if (!done.ok() || done.value()) {
        searchAhead_->stop();
        if (done.ok() && searchUnfinished_) {
            searchReadThrough();
        }
        startListingAhead();
    }
}

Result<ListedRecords> VaultPage::searchedLines(const QString& category) {
    // The longest a key in the search box waits for the texts a search looks in (those of a
    // large protected account take a while to open): the lines found in what is read by then are
    // shown, and the search is made again when the rest is read.
    constexpr int kSearchWaitMs = 40;
    Result<ListedRecords> lines = records_.ListRecordLines(services_.state.CurrentAccount, category,
                                                           txtSearch_->text(), kSearchWaitMs);
    searchUnfinished_ = lines.ok() && lines.value().searchUnfinished;
    if (searchUnfinished_) {
        startSearchAhead(true);
    }
    return lines;
}

void VaultPage::searchReadThrough() {
    const std::optional<qint64> selected = selectedCounter();
    ListRecords(cmbCategories_->currentText());
    for (int row = 0; selected && row < lines_->rowCount(); ++row) {
        if (lines_->line(row).counter == *selected) {
            lstPasswords_->setCurrentIndex(lines_->index(row));
            ShowRecord(*selected);
            break;
        }
    }
}

void VaultPage::startListingAhead() {
    // After the search's reading ahead, so that the idle moments hold one small step at a time.
    constexpr int kIdleStepPause = 20;  // ms
    if (services_.state.CurrentAccount.isProtected() && !listingAhead_->isActive() &&
        !searchAhead_->isActive()) {
        listingAhead_->start(kIdleStepPause);
    }
}

void VaultPage::openListedAhead() {
    // Two values a line: about a millisecond a step.
    constexpr int kLinesPerStep = 200;
    if (!services_.state.LoggedIn ||
        records_.OpenListedAhead(services_.state.CurrentAccount, kLinesPerStep)) {
        listingAhead_->stop();
    }
}

bool VaultPage::searchKey(QKeyEvent* key) {
    if (key->key() == Qt::Key_Escape && !txtSearch_->text().isEmpty()) {
        txtSearch_->clear();
        return true;
    }
    // Down goes on to the list, as in the search boxes of other programs.
    if (key->key() == Qt::Key_Down && lines_->rowCount() > 0) {
        lstPasswords_->setFocus(Qt::TabFocusReason);
        lstPasswords_->setCurrentIndex(lines_->index(0));
        return true;
    }
    return false;
}

}  // namespace ks
