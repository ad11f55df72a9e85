#include "journal/JournalSearchPanel.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/FailureReport.h"
#include "journal/JournalDate.h"
#include "journal/JournalMessages.h"
#include "journal/JournalSearch.h"
#include "widgets/Controls.h"

namespace ks {

namespace {

// A search starts once typing pauses this long, or at once with Enter.
constexpr int kTypingPauseMs = 300;
constexpr int kDayRole = Qt::UserRole;
// Characters of an entry shown before the match: the list is narrow, and the match must show.
constexpr qsizetype kLead = 12;

}  // namespace

JournalSearchPanel::JournalSearchPanel(Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    txtJournalSearch_ = new QLineEdit(this);
    txtJournalSearch_->setObjectName(QStringLiteral("txtJournalSearch"));
    txtJournalSearch_->setPlaceholderText(tr("Search the journal"));
    txtJournalSearch_->setClearButtonEnabled(true);
    lstJournalFound_ = new QListWidget(this);
    lstJournalFound_->setObjectName(QStringLiteral("lstJournalFound"));
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
    connect(lstJournalFound_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QDate day = item->data(kDayRole).toDate();
        if (day.isValid()) {
            Q_EMIT daySelected(day);
        }
    });
    connect(lstJournalFound_, &QListWidget::itemClicked, lstJournalFound_,
            &QListWidget::itemActivated);
}

void JournalSearchPanel::clear() {
    typingPause_->stop();
    txtJournalSearch_->clear();
    lstJournalFound_->clear();
    lstJournalFound_->hide();
}

void JournalSearchPanel::search() {
    typingPause_->stop();
    lstJournalFound_->clear();
    const QString text = txtJournalSearch_->text();
    lstJournalFound_->setVisible(!text.isEmpty());
    if (text.isEmpty()) {
        return;
    }
    const Result<QList<JournalHit>> hits =
        searchJournal(services_.database, services_.state.UserNameCipher, text);
    if (!hits.ok()) {
        reportDatabaseFailure(services_, journal::couldNotSearch(), hits.status());
        return;
    }
    for (const JournalHit& hit : hits.value()) {
        auto* item = new QListWidgetItem(journalDateText(hit.day) + QStringLiteral("  ") +
                                         snippetNearMatch(hit, kLead));
        item->setData(kDayRole, hit.day);
        item->setToolTip(plainToolTip(hit.snippet));
        lstJournalFound_->addItem(item);
    }
    if (hits.value().isEmpty()) {
        auto* none = new QListWidgetItem(tr("No entry contains that text."));
        none->setFlags(Qt::NoItemFlags);
        lstJournalFound_->addItem(none);
    }
}

}  // namespace ks
