#pragma once

#include <QWidget>

namespace ks {

// The Files tab: the user's stored files with their sizes and dates.
class FilesPage : public QWidget {
    Q_OBJECT
public:
    explicit FilesPage(QWidget* parent = nullptr);

    // The button panel `pctFiles` (a QVBoxLayout); the main window adds About and Quit.
    QWidget* buttonPanel() const { return panel_; }

private:
    QWidget* panel_;
};

}  // namespace ks
