#pragma once

#include <QDialog>

#include "core/Services.h"
#include "journal/JournalHistory.h"

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace ks {

// The kept texts of the shown day's entry, `frmJournalHistory`: when each was replaced and how
// long it is, newest first, the selected text beside the list. "Restore" asks, then hands the
// chosen text to the Journal tab, which saves it as the entry (the text it replaces is kept).
class JournalHistoryWindow : public QDialog {
    Q_OBJECT
public:
    JournalHistoryWindow(Services& services, const QString& dateText, QWidget* parent);

    // Reads the texts again; false when they could not be read (the user has been told).
    bool refresh();

Q_SIGNALS:
    void restoreAsked(const QString& text);

private:
    void showSelected();
    void cmdRestore_Click();

    Services& services_;
    QString dateText_;
    QList<JournalVersion> versions_;
    QTreeWidget* lstHistory_;
    QPlainTextEdit* txtHistoryText_;
    QPushButton* cmdRestore_;
};

}  // namespace ks
