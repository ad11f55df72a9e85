#pragma once

#include <QDate>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/Services.h"
#include "journal/JournalDays.h"

class QCalendarWidget;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;

namespace ks {

class JournalSearchPanel;
class StatisticsFrame;
class TextBox;

// The Journal tab: calendar, entry, day buttons and the typing statistics.
class JournalPage : public QWidget {
    Q_OBJECT
public:
    explicit JournalPage(Services& services, QWidget* parent = nullptr);
    ~JournalPage() override;

    // The button panel `pctJournal` (a QVBoxLayout): cmdJournalSave. The main window appends
    // its About and Quit buttons.
    QWidget* buttonPanel() const { return panel_; }

    // Loading of the main window: the calendar goes to today, which loads today's entry.
    void goToToday();
    // A user has logged in: shows that user's entry of the day on the calendar.
    void reloadEntry();
    // The main window's normal activation: timing idle, corrections cleared.
    void resetStatistics();
    // A user has logged in: the typing statistics start from their initial values.
    void startStatisticsAfresh();

    // The shown day's entry was written elsewhere: shown as stored, unless the box holds text
    // that is not saved; the days with entries are marked afresh.
    void showStoredEntry();
    // Whether the entry box holds text that is not saved (after a failed save, say).
    bool hasUnsavedText() const;
    // Saves unsaved text for the shown day without asking anything (nobody is at the screen):
    // false only when it could not be saved (the user has been told why).
    bool saveUnattended();
    // The session ends: no entry, search or figure of it stays in the page.
    void forgetSession();

Q_SIGNALS:
    // Brings the Journal tab to the front (before asking about unsaved text).
    void showJournalTab();

private:
    void buildControls();
    // The entry box above the day buttons.
    QLayout* buildEntryColumn();
    // The calendar's notifications: before the day changes (offers to save unsaved text; false
    // when the day must not change) and after it changed (loads the new day).
    bool beforeChange();
    void afterChange();
    // Moves the calendar to a day, with both notifications; `offered` when the unsaved text has
    // already been offered for saving.
    void moveTo(QDate day, bool offered = false);
    void calendarSelectionChanged();
    void calendarMovedByUser();

    void LoadJournalEntry(const QString& dateText);
    bool ListJournalDates();
    void searchEntry(SearchDirection direction);
    void cmdJournalSave_Click();
    // The kept texts of the shown day; a restore saves the chosen one as the entry.
    void openHistory();
    void restoreText(const QString& text);
    // Shows in bold the days around the calendar's month that hold an entry of the user.
    void markEntryDays();
    // Selects the first match of a journal search in the entry box and scrolls to it.
    void selectMatch(const QString& searched);

    QString calendarDateText() const;
    // Ctrl+S saves; Alt+Left and Alt+Right go to the previous and next day.
    void addShortcuts(QPushButton* save, QPushButton* previousDay, QPushButton* nextDay);

    Services& services_;
    QPointer<QWidget> panel_;
    QCalendarWidget* Calendar1_;
    TextBox* txtJournal_;
    TextBox* txtJournal2_;
    QLineEdit* txtDate_;
    StatisticsFrame* Frame1_;
    JournalSearchPanel* searchPanel_;
    QLabel* lblShownDay_;  // the shown day in words, above the entry
    QPushButton* cmdToday_;
    // The earliest and latest date texts of the user's entries, as the last entry search found.
    JournalDays days_;              // the user's entry dates, kept for the session
    quint64 listedGeneration_ = 0;  // the dates the hidden list holds
    QSet<QDate> markedDays_;        // the days shown in bold
    QString firstJournalDate_;
    QString lastJournalDate_;
    QDate shownDay_;               // the day whose entry the boxes hold
    bool movingCalendar_ = false;  // the page itself is moving the calendar
    bool userMovePending_ = false;
};

}  // namespace ks
