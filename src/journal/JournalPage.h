#pragma once

#include <QWidget>

#include "storage/Services.h"

namespace ks {

// The Journal tab: calendar, entry, day buttons and the typing statistics.
class JournalPage : public QWidget {
    Q_OBJECT
public:
    explicit JournalPage(Services& services, QWidget* parent = nullptr);

    // The button panel `pctJournal` (a QVBoxLayout): cmdJournalSave. The main window appends
    // its About and Quit buttons.
    QWidget* buttonPanel() const { return panel_; }

    // Loading of the main window: the calendar goes to today, which loads today's entry.
    void goToToday();
    // A user has logged in: shows that user's entry of the day on the calendar.
    void reloadEntry();
    // The main window's normal activation: timing idle, corrections cleared.
    void resetStatistics();

Q_SIGNALS:
    // Brings the Journal tab to the front (before asking about unsaved text).
    void showJournalTab();

private:
    Services& services_;
    QWidget* panel_;
};

}  // namespace ks
