#pragma once

#include <QGroupBox>

#include "vault/RecordHistory.h"

class QSpinBox;
class QTreeWidget;

namespace ks {

class OptionsHost;
struct Services;

// The Options tab's "History" frame: how many versions of each record and journal entry are
// kept and how long a deleted record can be restored (saved in the settings file), the
// logged-in account's deleted records with "Restore", and "Clear History..." that empties the
// account's history.
class HistoryBox : public QGroupBox {
    Q_OBJECT
public:
    HistoryBox(Services& services, OptionsHost& host, QWidget* parent);

    // Shows the settings in force and lists the deleted records as they are now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdHistorySave_Click();
    void cmdRestoreDeleted_Click();
    void cmdClearHistory_Click();

    Services& services_;
    OptionsHost& host_;
    RecordStore records_;
    QList<DeletedRecord> deleted_;
    QSpinBox* spnHistoryVersions_;
    QSpinBox* spnDeletedDays_;
    QTreeWidget* lstDeletedRecords_;
};

}  // namespace ks
