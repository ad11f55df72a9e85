#pragma once

#include <QDialog>

#include "core/ProgramState.h"

class QImage;
class QLabel;
class QPushButton;
class QScrollArea;

namespace ks {

// The full-screen picture viewer `Form4`: the picture at its own size in a centred image area
// that nearly fills the window (scrollable when the picture is larger), and "Close" at the
// lower right. Any click on the window or the picture hides it. At the program's first
// activation it also serves as the start-up picture, which hides itself as soon as it is up.
class ImageViewer : public QDialog {
    Q_OBJECT
public:
    ImageViewer(ProgramState& state, QWidget* parent = nullptr);

    // Puts a picture into `Image1`, at its own size.
    void setPicture(const QImage& picture);
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
    QScrollArea* area_;
    QLabel* image1_;
    QPushButton* cmdClose_;
};

}  // namespace ks
