#include "journal/JournalPage.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextCharFormat>
#include <QVBoxLayout>
#include <algorithm>

#include "core/TextFolding.h"
#include "core/TextLimits.h"
#include "journal/JournalDate.h"
#include "journal/JournalMessages.h"
#include "journal/JournalSave.h"
#include "journal/JournalSearchPanel.h"
#include "journal/JournalStore.h"
#include "journal/JournalText.h"
#include "journal/StatisticsFrame.h"
#include "widgets/Controls.h"
#include "widgets/HistoryList.h"
#include "widgets/Icons.h"
#include "widgets/TextBox.h"

namespace ks {

namespace {

// The dialogs of a save that nobody watches: the questions on the way are answered Yes (keep the
// text), the completion message is not shown; refusals and failures are told as usual.
class UnwatchedSaveDialogs final : public Dialogs {
public:
    explicit UnwatchedSaveDialogs(Dialogs& shown) : shown_(shown) {}
    void message(MessageIcon icon, const QString& title, const QString& text) override {
        if (icon != MessageIcon::Information) {
            shown_.message(icon, title, text);
        }
    }
    bool askYesNo(const QString& /*title*/, const QString& /*text*/) override { return true; }
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override {
        return shown_.inputText(title, prompt, initial);
    }
    QString openFile(const QString& title, const QStringList& filters) override {
        return shown_.openFile(title, filters);
    }
    QString chooseFolder(const QString& title, const QString& start) override {
        return shown_.chooseFolder(title, start);
    }

private:
    Dialogs& shown_;
};

}  // namespace

JournalPage::JournalPage(Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    buildControls();
}

JournalPage::~JournalPage() {
    // The panel normally lives beside the tabs in the main window; otherwise it is ours.
    if (panel_ && panel_->parent() == nullptr) {
        delete panel_.data();
    }
}

void JournalPage::buildControls() {
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("pctJournal"));
    auto* panelButtons = new QVBoxLayout(panel_);
    QPushButton* save = makePictureButton(
        panel_, QStringLiteral("cmdJournalSave"),
        themedIcon(QStringLiteral("document-save"), QStringLiteral("save")), tr("Save entry"));
    panelButtons->addWidget(save);
    connect(save, &QPushButton::clicked, this, &JournalPage::cmdJournalSave_Click);

    Calendar1_ = new QCalendarWidget(this);
    Calendar1_->setObjectName(QStringLiteral("Calendar1"));
    Calendar1_->setDateRange(firstCalendarDay(), lastCalendarDay());
    Calendar1_->setGridVisible(true);
    Calendar1_->setSelectedDate(services_.clock.today());
    shownDay_ = Calendar1_->selectedDate();

    txtJournal_ = new TextBox(this);
    txtJournal_->setObjectName(QStringLiteral("txtJournal"));
    txtJournal_->setTabChangesFocus(false);
    txtJournal_->setLongestText(kLongestText);
    connect(txtJournal_, &TextBox::inputRefused, this, [this] {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  textTooLongMessage());
    });
    txtJournal2_ = new TextBox(this);
    txtJournal2_->setObjectName(QStringLiteral("txtJournal2"));
    txtJournal2_->hide();
    txtDate_ = new QLineEdit(this);
    txtDate_->setObjectName(QStringLiteral("txtDate"));
    txtDate_->hide();

    Frame1_ = new StatisticsFrame(services_.clock, this);
    Frame1_->watch(txtJournal_);
    searchPanel_ = new JournalSearchPanel(services_, this);
    lblShownDay_ = makeLabel(this, QStringLiteral("lblShownDay"), QString());

    auto* page = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(Calendar1_);
    left->addWidget(Frame1_);
    left->addWidget(searchPanel_, 1);
    page->addLayout(left);
    page->addLayout(buildEntryColumn(), 1);
    connect(Calendar1_, &QCalendarWidget::selectionChanged, this,
            &JournalPage::calendarSelectionChanged);
    connect(Calendar1_, &QCalendarWidget::currentPageChanged, this, &JournalPage::markEntryDays);
    // A day found by the search is reached as a calendar click would reach it, and the match
    // is selected and scrolled into view.
    connect(searchPanel_, &JournalSearchPanel::daySelected, this,
            [this](QDate day, const QString& searched) {
                if (day != shownDay_) {
                    moveTo(day);
                }
                if (day == shownDay_) {
                    selectMatch(searched);
                }
            });
    addShortcuts(save, findChild<QPushButton*>(QStringLiteral("cmdPreviousDay")),
                 findChild<QPushButton*>(QStringLiteral("cmdNextDay")));
}

void JournalPage::addShortcuts(QPushButton* save, QPushButton* previousDay, QPushButton* nextDay) {
    const QList<std::pair<QKeySequence, QPushButton*>> keys = {
        {QKeySequence::Save, save},
        {QKeySequence(Qt::ALT | Qt::Key_Left), previousDay},
        {QKeySequence(Qt::ALT | Qt::Key_Right), nextDay},
    };
    for (const auto& [key, button] : keys) {
        auto* shortcut = new QShortcut(key, this);
        // Only while the Journal tab is the one in use.
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }
}

QLayout* JournalPage::buildEntryColumn() {
    QPushButton* previousDay =
        makeButton(this, QStringLiteral("cmdPreviousDay"), QStringLiteral("<  Previous Day"));
    QPushButton* previousEntry =
        makeButton(this, QStringLiteral("Command2"), QStringLiteral("<  Previous Entry"));
    cmdToday_ = makeButton(this, QStringLiteral("cmdToday"), QStringLiteral("Today"));
    QPushButton* nextEntry =
        makeButton(this, QStringLiteral("Command4"), QStringLiteral("Next Entry  >"));
    QPushButton* nextDay =
        makeButton(this, QStringLiteral("cmdNextDay"), QStringLiteral("Next Day  >"));
    QPushButton* history =
        makeButton(this, QStringLiteral("cmdJournalHistory"), historyButtonCaption());
    connect(history, &QPushButton::clicked, this, &JournalPage::openHistory);

    auto* dayButtons = new QHBoxLayout;
    for (QPushButton* button :
         {previousDay, previousEntry, cmdToday_, nextEntry, nextDay, history}) {
        dayButtons->addWidget(button);
    }
    auto* right = new QVBoxLayout;
    right->addWidget(lblShownDay_);
    right->addWidget(txtJournal_, 1);
    right->addLayout(dayButtons);

    connect(previousDay, &QPushButton::clicked, this, [this] { moveTo(shownDay_.addDays(-1)); });
    connect(nextDay, &QPushButton::clicked, this, [this] { moveTo(shownDay_.addDays(1)); });
    connect(cmdToday_, &QPushButton::clicked, this, [this] { moveTo(services_.clock.today()); });
    connect(previousEntry, &QPushButton::clicked, this,
            [this] { searchEntry(SearchDirection::Backward); });
    connect(nextEntry, &QPushButton::clicked, this,
            [this] { searchEntry(SearchDirection::Forward); });
    return right;
}

void JournalPage::goToToday() {
    moveTo(services_.clock.today());
    markEntryDays();
}

void JournalPage::reloadEntry() {
    searchPanel_->clear();
    afterChange();
    markEntryDays();
}

void JournalPage::resetStatistics() {
    Frame1_->reset();
}

void JournalPage::startStatisticsAfresh() {
    Frame1_->startAfresh();
}

QString JournalPage::calendarDateText() const {
    return journalDateText(Calendar1_->selectedDate());
}

bool JournalPage::hasUnsavedText() const {
    return entryText(txtJournal_) != entryText(txtJournal2_);
}

bool JournalPage::saveUnattended() {
    if (!hasUnsavedText()) {
        return true;
    }
    UnwatchedSaveDialogs unwatched(services_.dialogs);
    Services quiet{services_.state, unwatched, services_.database, services_.clock};
    const QString text = entryText(txtJournal_);
    if (!SaveJournalEntry(quiet, journalDateText(shownDay_), text, true).saved()) {
        return false;
    }
    showEntryText(txtJournal2_, text);
    return true;
}

void JournalPage::forgetSession() {
    showEntryText(txtJournal_, QString());
    showEntryText(txtJournal2_, QString());
    searchPanel_->clear();
    Frame1_->startAfresh();
}

bool JournalPage::beforeChange() {
    if (!hasUnsavedText()) {
        return true;
    }
    Q_EMIT showJournalTab();
    if (!services_.dialogs.askYesNoKeepingText(services_.state.AppTitle,
                                               journal::saveChangesQuestion())) {
        return true;
    }
    const JournalSaveResult result =
        SaveJournalEntry(services_, txtDate_->text(), entryText(txtJournal_), true);
    if (result.saved()) {
        markEntryDays();
    }
    // When the save failed (the user has been told), the day stays so that the text is not lost.
    return result.status != JournalSaveStatus::Failed;
}

void JournalPage::afterChange() {
    const QString dateText = calendarDateText();
    shownDay_ = Calendar1_->selectedDate();
    lblShownDay_->setText(QLocale().toString(shownDay_, QLocale::LongFormat));
    txtDate_->setText(dateText);
    LoadJournalEntry(dateText);
}

void JournalPage::moveTo(QDate day, bool offered) {
    day = std::clamp(day, Calendar1_->minimumDate(), Calendar1_->maximumDate());
    if (!offered && !beforeChange()) {
        return;
    }
    movingCalendar_ = true;
    Calendar1_->setSelectedDate(day);
    movingCalendar_ = false;
    afterChange();
}

void JournalPage::calendarSelectionChanged() {
    if (movingCalendar_ || userMovePending_) {
        return;
    }
    // A click or a key on the calendar: handled once the calendar has finished with its event,
    // so that a question shown meanwhile cannot leave the calendar in the middle of a click.
    userMovePending_ = true;
    QMetaObject::invokeMethod(this, &JournalPage::calendarMovedByUser, Qt::QueuedConnection);
}

void JournalPage::calendarMovedByUser() {
    userMovePending_ = false;
    if (Calendar1_->selectedDate() == shownDay_) {
        return;
    }
    if (!beforeChange()) {
        movingCalendar_ = true;
        Calendar1_->setSelectedDate(shownDay_);
        movingCalendar_ = false;
        return;
    }
    afterChange();
}

void JournalPage::LoadJournalEntry(const QString& dateText) {
    const Result<std::optional<QString>> entry =
        ks::LoadJournalEntry(services_.database, services_.state.CurrentAccount, dateText);
    if (!entry.ok()) {
        // Never the previous day's text under this day: both boxes are emptied.
        showEntryText(txtJournal_, QString());
        showEntryText(txtJournal2_, QString());
        reportDatabaseFailure(services_, journal::couldNotLoad(), entry.status());
        return;
    }
    const QString text = entry.value().value_or(QString());
    showEntryText(txtJournal_, text);
    showEntryText(txtJournal2_, text);
    if (entry.value()) {
        txtDate_->setText(dateText);
    }
}

bool JournalPage::ListJournalDates() {
    QListWidget* list = Frame1_->journalDates();
    const Result<JournalDates> dates =
        days_.dates(services_.database, services_.state.CurrentAccount, services_.clock.today());
    if (!dates.ok()) {
        list->clear();
        listedGeneration_ = 0;
        reportDatabaseFailure(services_, journal::couldNotSearch(), dates.status());
        return false;
    }
    // Filled again only when the dates were read again: thousands of items otherwise.
    if (listedGeneration_ != days_.generation()) {
        list->clear();
        list->addItems(dates.value().dates);
        listedGeneration_ = days_.generation();
    }
    firstJournalDate_ = dates.value().FirstJournalDate;
    lastJournalDate_ = dates.value().LastJournalDate;
    return true;
}

void JournalPage::searchEntry(SearchDirection direction) {
    const QDate from = shownDay_;
    // The unsaved text is offered once, before anything moves.
    if (!beforeChange() || !ListJournalDates()) {
        return;
    }
    const bool back = direction == SearchDirection::Backward;
    const QDate bound = readJournalDate(back ? firstJournalDate_ : lastJournalDate_)
                            .value_or(services_.clock.today());
    const Result<EntrySearch> search =
        days_.find(services_.database, services_.state.CurrentAccount, from, direction, bound);
    if (!search.ok()) {
        reportDatabaseFailure(services_, journal::couldNotSearch(), search.status());
        return;
    }
    moveTo(search.value().day, true);
    if (!search.value().found) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  journal::noMoreEntries());
        cmdToday_->click();
    }
    markEntryDays();
}

void JournalPage::cmdJournalSave_Click() {
    const QString text = entryText(txtJournal_);
    // The day the calendar shows once it has settled: the day the text was written for.
    const JournalSaveResult result =
        SaveJournalEntry(services_, journalDateText(shownDay_), text, false);
    if (result.saved()) {
        showEntryText(txtJournal2_, text);
        markEntryDays();
    }
}

void JournalPage::selectMatch(const QString& searched) {
    const std::optional<TextSpan> match =
        findFolded(entryText(txtJournal_), foldedForSearch(searched));
    if (match) {
        txtJournal_->selectText(match->start, match->length);
    }
}

void JournalPage::markEntryDays() {
    // Every day the month page can show: up to a week before the 1st and six weeks of rows.
    const QDate first = QDate(Calendar1_->yearShown(), Calendar1_->monthShown(), 1);
    const Result<QSet<QDate>> days = days_.entryDays(
        services_.database, services_.state.CurrentAccount, first.addDays(-7), first.addDays(42));
    if (!days.ok()) {
        // Only the marks are missing; loads and saves report their own failures.
        Calendar1_->setDateTextFormat(QDate(), QTextCharFormat());
        markedDays_.clear();
        return;
    }
    if (days.value() == markedDays_) {
        return;  // each new mark repaints the calendar
    }
    Calendar1_->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (const QDate& day : days.value()) {
        Calendar1_->setDateTextFormat(day, bold);
    }
    markedDays_ = days.value();
}

}  // namespace ks
