#pragma once

#include <QDialog>

#include "core/Services.h"
#include "interchange/JournalFormats.h"

class QDateEdit;
class QRadioButton;

namespace ks {

// "Export Journal..." of the Journal menu, `frmExportJournal`: the first and last day of the
// range (`dtpFrom`, `dtpTo`, the month so far at first) and the format (`optMarkdown`,
// `optJson`); "Export..." asks for the file and writes the entries of those days, readable by
// the owner only.
class JournalExportWindow : public QDialog {
    Q_OBJECT
public:
    explicit JournalExportWindow(Services& services, QWidget* parent = nullptr);

    // Shows the window modally for the days up to `today`.
    void open(QDate today);

private:
    void cmdExportJournal_Click();

    Services& services_;
    QDateEdit* dtpFrom_;
    QDateEdit* dtpTo_;
    QRadioButton* optMarkdown_;
    QRadioButton* optJson_;
};

}  // namespace ks
