#include "app/StatusWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace ks {

StatusWindow::StatusWindow(const ProgramState& state)
    : QWidget(nullptr, Qt::Dialog), state_(state) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(state.AppTitle);
    auto* frame1 = new QFrame(this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setFrameShape(QFrame::StyledPanel);
    auto* label1 = new QLabel(QStringLiteral("Please wait"), frame1);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = label1->font();
    bold.setBold(true);
    label1->setFont(bold);
    lblStatus_ = new QLabel(frame1);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    auto* inner = new QVBoxLayout(frame1);
    inner->addWidget(label1);
    inner->addWidget(lblStatus_);
    busyBar_ = new QProgressBar(frame1);
    busyBar_->setObjectName(QStringLiteral("barBusy"));
    busyBar_->setRange(0, 0);
    busyBar_->setTextVisible(false);
    busyBar_->hide();
    inner->addWidget(busyBar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    setFixedSize(320, 130);
}

void StatusWindow::showStatus(const QString& status) {
    lblStatus_->setText(status);
    show();
    raise();
    QCoreApplication::processEvents();
}

void StatusWindow::setBusy(bool busy) {
    busyBar_->setVisible(busy);
}

void StatusWindow::closeEvent(QCloseEvent* event) {
    event->setAccepted(state_.Quitting);
}

}  // namespace ks
