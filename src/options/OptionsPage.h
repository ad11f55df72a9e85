#pragma once

#include <QWidget>

#include "options/DatabaseTransfer.h"
#include "storage/SettingsFile.h"
#include "sync/DatabaseMerge.h"
#include "sync/SyncFolder.h"

class QCheckBox;
class QGroupBox;
class QSpinBox;
class QRadioButton;
class QLineEdit;

namespace ks {

class ProtectionBox;
class SyncBox;

class OptionsHost;
class VolumeFolderChooser;
struct Services;

// The Options tab: change of password, the on-exit compaction policy, export and import.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    OptionsPage(Services& services, OptionsHost& host, QWidget* parent = nullptr);

    // The button panel `pctOptions` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

    // Selects the on-exit option of a policy: 0 never, 1 ask, anything else always.
    void selectOnExitPolicy(int policy);
    // The policy the selected on-exit option stands for.
    int selectedOnExitPolicy() const;
    // Shows the lock settings in force.
    void selectLockSettings(const LockSettings& lock);
    LockSettings chosenLockSettings() const;
    // A pass over the sync folder ended: the Options list shows what it found.
    void showSyncOutcome(const SyncOutcome& outcome);
    // Empties the three change-password boxes.
    void clearPasswordBoxes();

    // Where export and import learn the free space of a volume (tests set a figure).
    void setFreeSpaceProbe(FreeSpaceProbe probe) { freeSpace_ = std::move(probe); }
    // Failures a test injects into the copies of export and import.
    void setCopyHooks(CopyHooks hooks) { copyHooks_ = std::move(hooks); }
    // A failure a test injects into the merge's writing (see MergeRequest::failAfter).
    void setMergeFailAfter(std::function<bool(int)> failAfter) {
        mergeFailAfter_ = std::move(failAfter);
    }

Q_SIGNALS:
    // The on-exit options were saved.
    void saveOnExitPolicy(int policy);
    // The lock settings were saved.
    void saveLockSettings(const LockSettings& lock);

private:
    QGroupBox* passwordFrame();
    QGroupBox* onExitFrame();
    QGroupBox* lockFrame();
    QGroupBox* transferFrame(const QString& frame, const QString& caption, const QString& drive,
                             const QString& folder, const QString& command,
                             const QString& commandCaption, VolumeFolderChooser*& chooser);
    void Command5_Click();
    void changePassPhrase();
    void cmdExport_Click();
    void exportTo(const QString& folder);
    void cmdImport_Click();
    // The checks before the import's question, each refusal told; the file is staged when true.
    bool importAllowed(const QString& folder, const QString& source);
    // Asks with what the staged file holds.
    bool importConfirmed(const QString& folder);
    void cmdMerge_Click();
    // Plans or writes a merge on a thread of its own, the status window up meanwhile.
    MergeOutcome mergeBesideWindows(const MergeRequest& request, bool write, const QString& status);
    bool mergeSucceeded(const MergeOutcome& outcome, const QString& file);

    Services& services_;
    OptionsHost& host_;
    FreeSpaceProbe freeSpace_ = systemFreeSpace();
    CopyHooks copyHooks_;
    std::function<bool(int)> mergeFailAfter_;
    VolumeFolderChooser* exportChooser_ = nullptr;
    VolumeFolderChooser* importChooser_ = nullptr;
    QWidget* panel_;
    QRadioButton* optAlwaysCompress_;
    QRadioButton* optAskToCompress_;
    QRadioButton* optNeverCompress_;
    QSpinBox* spnLockMinutes_;
    QCheckBox* chkLockOnScreenLock_;
    QLineEdit* txtOldPassword_;
    QLineEdit* txtNewPassword_;
    QLineEdit* txtNewPassword2_;
    ProtectionBox* protection_ = nullptr;
    SyncBox* sync_ = nullptr;
};

}  // namespace ks
