#include "journal/JournalSearchPanel.h"

#include <QLineEdit>
#include <QListView>
#include <QTimer>
#include <QVBoxLayout>

#include "core/FailureReport.h"
#include "journal/JournalFoundModel.h"
#include "journal/JournalMessages.h"
#include "journal/JournalSearch.h"

namespace ks {

namespace {

// A search starts once typing pauses this long, or at once with Enter.
constexpr int kTypingPauseMs = 300;

}  // namespace

JournalSearchPanel::JournalSearchPanel(Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    txtJournalSearch_ = new QLineEdit(this);
    txtJournalSearch_->setObjectName(QStringLiteral("txtJournalSearch"));
    txtJournalSearch_->setPlaceholderText(tr("Search the journal"));
    txtJournalSearch_->setClearButtonEnabled(true);
    found_ = new JournalFoundModel(this);
    lstJournalFound_ = new QListView(this);
    lstJournalFound_->setObjectName(QStringLiteral("lstJournalFound"));
    lstJournalFound_->setModel(found_);
    lstJournalFound_->setTextElideMode(Qt::ElideRight);
    lstJournalFound_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstJournalFound_->setUniformItemSizes(true);
    lstJournalFound_->hide();
    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txtJournalSearch_);
    layout->addWidget(lstJournalFound_, 1);
    layout->addStretch(0);  // keeps the field at the top while the list is hidden

    connect(txtJournalSearch_, &QLineEdit::textEdited, typingPause_,
            static_cast<void (QTimer::*)()>(&QTimer::start));
    connect(txtJournalSearch_, &QLineEdit::returnPressed, this, &JournalSearchPanel::search);
    connect(txtJournalSearch_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            search();  // the clear button empties the list at once
        }
    });
    connect(typingPause_, &QTimer::timeout, this, &JournalSearchPanel::search);
    const auto choose = [this](const QModelIndex& index) {
        const QDate day = index.data(JournalFoundModel::kDayRole).toDate();
        if (day.isValid()) {
            Q_EMIT daySelected(day, searched_);
        }
    };
    connect(lstJournalFound_, &QListView::activated, this, choose);
    connect(lstJournalFound_, &QListView::clicked, this, choose);
}

void JournalSearchPanel::clear() {
    typingPause_->stop();
    txtJournalSearch_->clear();
    found_->clear();
    lstJournalFound_->hide();
}

void JournalSearchPanel::search() {
    typingPause_->stop();
    found_->clear();
    const QString text = txtJournalSearch_->text();
    searched_ = text;
    lstJournalFound_->setVisible(!text.isEmpty());
    if (text.isEmpty()) {
        return;
    }
    const Result<QList<JournalHit>> hits =
        searchJournal(services_.database, services_.state.CurrentAccount, text);
    if (!hits.ok()) {
        reportDatabaseFailure(services_, journal::couldNotSearch(), hits.status());
        return;
    }
    found_->setHits(hits.value());
}

}  // namespace ks
