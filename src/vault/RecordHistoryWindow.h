#pragma once

#include <QDialog>

#include "core/Services.h"
#include "vault/RecordHistory.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace ks {

// The kept versions of one record, `frmRecordHistory`, opened from the record editor: when each
// was replaced and what the save that replaced it changed, newest first, with the selected
// version's values beside the list (its password only when asked). "Restore" saves the chosen
// version as the record again, after a question; the values it replaces become the newest
// version, so a restore is undone the same way.
class RecordHistoryWindow : public QDialog {
    Q_OBJECT
public:
    // `editorChanged`: the editor holds typed values that are not saved (the restore replaces
    // them, and the question says so).
    RecordHistoryWindow(Services& services, RecordStore& records, qint64 counter,
                        bool editorChanged, QWidget* parent);

    // Reads the versions again; false when they could not be read (the user has been told).
    bool refresh();

Q_SIGNALS:
    // The record now holds these values (filed under a category that was new when told).
    void restored(const RecordFields& fields, bool categoryAdded);

private:
    void showSelected();
    void cmdRestore_Click();

    Services& services_;
    RecordStore& records_;
    qint64 counter_;
    bool editorChanged_;
    QList<RecordVersion> versions_;
    QTreeWidget* lstHistory_;
    QPlainTextEdit* txtVersion_;
    QCheckBox* chkShowPassword_;
    QPushButton* cmdRestore_;
};

}  // namespace ks
