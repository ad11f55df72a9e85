#pragma once

#include <QDialog>

namespace ks {

// The About window `Form3`.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(const QString& appTitle, QWidget* parent = nullptr);
};

}  // namespace ks
