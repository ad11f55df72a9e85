#pragma once

#include <QGroupBox>

#include "journal/TypingStatistics.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace ks {

class Clock;

// The statistics frame `Frame1`: live typing figures of the entry box it watches, worked out
// in the box's key notifications. Also holds the journal's hidden work list `lstJournalDates`.
class StatisticsFrame : public QGroupBox {
    Q_OBJECT
public:
    StatisticsFrame(const Clock& clock, QWidget* parent = nullptr);

    // Follows the keys typed into `box`.
    void watch(QPlainTextEdit* box);
    // Timing back to idle and corrections cleared; the figures stay as they are.
    void reset();
    // Everything back to its initial value, the four figures included (a new user's session).
    void startAfresh();

    QListWidget* journalDates() const { return lstJournalDates_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFigures();

    const Clock& clock_;
    QPlainTextEdit* box_ = nullptr;
    TypingStatistics statistics_;
    QLabel* lblWordCount_;
    QLabel* lblAccuracy_;
    QLabel* lblWords_;
    QLabel* lblParagraphs_;
    QListWidget* lstJournalDates_;
};

}  // namespace ks
