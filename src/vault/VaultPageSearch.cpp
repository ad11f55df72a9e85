// The search box of the Password Vault tab: Ctrl+F comes to it, Esc empties it, and while it
// has the focus what a search looks in is read ahead between other events.
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
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        if (isVisible()) {
            txtSearch_->setFocus(Qt::ShortcutFocusReason);
            txtSearch_->selectAll();
        }
    });
}

void VaultPage::readSearchAhead() {
    // A millisecond or two of reading at a time, so that keys and clicks are never held up.
    constexpr int kRowsPerStep = 500;
    if (!services_.state.LoggedIn) {
        searchAhead_->stop();
        return;
    }
    const Result<bool> done =
        records_.ReadSearchAhead(services_.state.CurrentAccount, kRowsPerStep);
    // A failure is reported by the search itself, if one comes.
    if (!done.ok() || done.value()) {
        searchAhead_->stop();
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
