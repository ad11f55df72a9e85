#pragma once

#include <QWidget>

#include "core/ProgramState.h"

class QLabel;
class QProgressBar;

namespace ks {

// The status window `Form11`: asks the user to wait and shows the step a long operation is at.
class StatusWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatusWindow(const ProgramState& state);

    // Shows the window with a status line and lets it paint.
    void showStatus(const QString& status);
    // Shows or hides the moving busy bar, for operations that keep the event loop turning.
    void setBusy(bool busy);

protected:
    // The window goes when its operation ends, not before.
    void closeEvent(QCloseEvent* event) override;

private:
    const ProgramState& state_;
    QLabel* lblStatus_;
    QProgressBar* busyBar_;
};

}  // namespace ks
