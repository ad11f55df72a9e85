#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace ks {

// The list of a history window: one line per kept version, newest first, the whole line
// selected, the columns as wide as what they show.
QTreeWidget* makeHistoryList(QWidget* parent, const QStringList& headers);

// Lays a history window out: its list beside what the chosen version holds (`shown`, as wide
// as `shownStretch` to the list's 1), and under them `extra` (when given) on the left and
// "Restore" (`restore`) and "Close" on the right; Close closes the window.
void layOutHistoryWindow(QDialog* window, QTreeWidget* list, QWidget* shown, int shownStretch,
                         QPushButton* restore, QWidget* extra = nullptr);

// When a version was replaced, as a history list shows it: local date and time to the second.
QString historyTimeText(qint64 utcMilliseconds);

// The caption of the buttons that open a history window.
inline QString historyButtonCaption() {
    return QStringLiteral("History...");
}
// The caption of the buttons that bring a kept version back.
inline QString restoreCaption() {
    return QStringLiteral("Restore");
}

}  // namespace ks
