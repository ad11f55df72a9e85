#pragma once

#include <QDialog>

#include "core/ProgramState.h"

class QLabel;
class QPushButton;

namespace ks {

// The full-screen picture viewer `Form4`. At the program's first activation it also serves as
// the start-up picture, which hides itself as soon as it is up.
class ImageViewer : public QDialog {
    Q_OBJECT
public:
    ImageViewer(ProgramState& state, QWidget* parent = nullptr);

    // Shows the viewer over the whole screen, modally, until it is hidden.
    void showFullScreenModal();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centrePicture();

    ProgramState& state_;
    QLabel* image1_;
    QPushButton* cmdClose_;
};

}  // namespace ks
