#pragma once

#include <QGroupBox>
#include <optional>

#include "sync/SyncFolder.h"

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace ks {

class OptionsHost;
struct Services;

// The Options tab's "Sync folder" frame: the folder a file-sync engine keeps in step between
// machines (chosen, or none), this machine's name there, and the other machines seen there
// with the time of their last change, whether everything of theirs is applied here, and why a
// file of theirs was skipped.
class SyncBox : public QGroupBox {
    Q_OBJECT
public:
    SyncBox(Services& services, OptionsHost& host, QWidget* parent);

    // Shows the settings in force and the machines as the folder and the database hold them.
    void refresh();
    // A pass ended: its machines, and its failure if it failed.
    void showOutcome(const SyncOutcome& outcome);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdSyncChoose_Click();
    void cmdSyncSave_Click();
    // The settings as the boxes show them.
    SyncSettings chosenSettings() const;
    void listMachines(const QList<SyncMachine>& machines);

    Services& services_;
    OptionsHost& host_;
    QLineEdit* txtSyncFolder_;
    QLineEdit* txtMachineName_;
    QTreeWidget* lstSyncMachines_;
    QLabel* lblSyncState_;
    std::optional<SyncSettings> boxesFrom_;  // the settings the boxes were last filled from
};

}  // namespace ks
