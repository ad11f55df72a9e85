#pragma once

#include <QGroupBox>

class QTreeWidget;

namespace ks {

class OptionsHost;
struct Services;

// The Options tab's list of the database's backups: when each was made, why and how large,
// newest first. "Restore" puts the chosen one back the way an import does: the backup is
// checked, the question names what it holds, the current database is kept as a backup of its
// own first, and the program starts again.
class BackupsBox : public QGroupBox {
    Q_OBJECT
public:
    BackupsBox(Services& services, OptionsHost& host, QWidget* parent);

    // Lists the backups as they are in the data folder now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdRestoreBackup_Click();

    Services& services_;
    OptionsHost& host_;
    QTreeWidget* list_ = nullptr;
};

}  // namespace ks
