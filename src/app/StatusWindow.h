#pragma once

#include <QWidget>

class QLabel;

namespace ks {

// The status window `Form11`: "Please wait" and the step a long operation is at.
class StatusWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatusWindow(const QString& appTitle);

    // Shows the window with a status line and lets it paint.
    void showStatus(const QString& status);

private:
    QLabel* lblStatus_;
};

}  // namespace ks
