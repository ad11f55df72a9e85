#pragma once

#include <QWidget>

namespace ks {

// The Images tab: the user's pictures and a preview.
class ImagesPage : public QWidget {
    Q_OBJECT
public:
    explicit ImagesPage(QWidget* parent = nullptr);

    // The button panel `pctImages` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

private:
    QWidget* panel_;
};

}  // namespace ks
