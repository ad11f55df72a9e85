#include "images/ImageViewer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

#include "widgets/Captions.h"
#include "widgets/Icons.h"

namespace ks {

namespace {
// Window measures in pixels: the image area keeps this margin on every side, and "Close" sits
// this far from the lower right corner.
constexpr int kMargin = 20;
constexpr int kCloseFromBottom = 61;
constexpr int kCloseFromRight = 13;
constexpr QSize kCloseSize(105, 25);
}  // namespace

ImageViewer::ImageViewer(ProgramState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(state.AppTitle);
    setModal(true);
    // The image area: the picture at its own size, centred, with scroll bars when it is larger.
    area_ = new QScrollArea(this);
    area_->setObjectName(QStringLiteral("Image1Area"));
    area_->setFrameShape(QFrame::NoFrame);
    area_->setWidgetResizable(false);
    area_->setAlignment(Qt::AlignCenter);
    image1_ = new QLabel;
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setAlignment(Qt::AlignCenter);
    image1_->setPixmap(appIcon().pixmap(256, 256));  // the start-up picture
    image1_->adjustSize();
    area_->setWidget(image1_);
    image1_->installEventFilter(this);
    area_->viewport()->installEventFilter(this);
    cmdClose_ = new QPushButton(closeCaption(), this);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    cmdClose_->setFixedSize(kCloseSize);
    cmdClose_->raise();
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::hide);
}

void ImageViewer::setPicture(const QImage& picture) {
    image1_->setPixmap(QPixmap::fromImage(picture));
    image1_->adjustSize();
}

void ImageViewer::showFullScreenModal() {
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        setGeometry(QRect(QPoint(0, 0), screen->size()));
    }
    exec();
}

void ImageViewer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    area_->resize(width() - kMargin, height() - kMargin);
    cmdClose_->move(width() - (cmdClose_->width() + kCloseFromRight), height() - kCloseFromBottom);
    centrePicture();
}

void ImageViewer::centrePicture() {
    area_->move(width() / 2 - area_->width() / 2, height() / 2 - area_->height() / 2);
}

void ImageViewer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centrePicture();
    if (state_.FirstActivation) {
        // The start-up picture: gone as soon as it is up.
        state_.FirstActivation = false;
        QTimer::singleShot(0, this, &QDialog::hide);
    }
}

void ImageViewer::closeEvent(QCloseEvent* event) {
    if (state_.Quitting) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

void ImageViewer::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    hide();
}

bool ImageViewer::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == image1_ || watched == area_->viewport()) &&
        event->type() == QEvent::MouseButtonPress) {
        hide();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace ks
