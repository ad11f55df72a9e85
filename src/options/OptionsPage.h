#pragma once

#include <QWidget>

class QRadioButton;
class QLineEdit;

namespace ks {

// The Options tab: change of password, the on-exit compaction policy, export and import.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPage(QWidget* parent = nullptr);

    // The button panel `pctOptions` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

    // Selects the on-exit option of a policy: 0 never, 1 ask, anything else always.
    void selectOnExitPolicy(int policy);
    // The policy the selected on-exit option stands for.
    int selectedOnExitPolicy() const;
    // Empties the three change-password boxes.
    void clearPasswordBoxes();

Q_SIGNALS:
    // The on-exit options were saved.
    void saveOnExitPolicy(int policy);

private:
    QWidget* panel_;
    QRadioButton* optAlwaysCompress_;
    QRadioButton* optAskToCompress_;
    QRadioButton* optNeverCompress_;
    QLineEdit* txtOldPassword_;
    QLineEdit* txtNewPassword_;
    QLineEdit* txtNewPassword2_;
};

}  // namespace ks
