#pragma once

#include <QDialog>

#include "core/ProgramState.h"

class QRadioButton;
class QPushButton;

namespace ks {

// The compaction prompt `Form7`: compact now or not, and the policy for the future.
class CompactPrompt : public QDialog {
    Q_OBJECT
public:
    CompactPrompt(ProgramState& state, QWidget* parent = nullptr);

    // Selects the future-policy option: 0 never, 1 ask, anything else always.
    void selectPolicy(int policy);
    // Shows the prompt modally; its buttons set CompactNow. The caller writes the chosen policy
    // to the settings file (CompactPolicy itself changes only at the next login window).
    void ask();
    // The future policy the options show: 0 never, 1 ask, 2 always.
    int chosenPolicy() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void answer(bool compactNow);

    ProgramState& state_;
    QPushButton* cmdYes_;
    QRadioButton* optAsk_;
    QRadioButton* optDo_;
    QRadioButton* optNever_;
};

}  // namespace ks
