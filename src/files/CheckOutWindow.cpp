#include "files/CheckOutWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/Controls.h"
#include "widgets/Icons.h"
#include "widgets/VolumeFolderChooser.h"

namespace ks {

CheckOutWindow::CheckOutWindow(Services& services, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Dialog), services_(services), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Form6"));
    setWindowIcon(appIcon());
    auto* frame1 = new QGroupBox(checkOutFrameCaption(), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    optAll_ = new QRadioButton(frame1);
    optAll_->setObjectName(QStringLiteral("optAll"));
    optSelected_ = new QRadioButton(frame1);
    optSelected_->setObjectName(QStringLiteral("optSelected"));
    auto* options = new QVBoxLayout(frame1);
    options->addWidget(optAll_);
    options->addWidget(optSelected_);

    auto* frame2 = new QGroupBox(destinationFrameCaption(), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    chooser_ = new VolumeFolderChooser(services_.dialogs, services_.state.AppTitle,
                                       QStringLiteral("Drive1"), QStringLiteral("Dir1"), frame2);
    chooser_->setCurrentFolder(QDir::homePath());
    auto* destination = new QVBoxLayout(frame2);
    destination->addWidget(chooser_);

    start_ = makeButton(this, QStringLiteral("Command2"), startCaption());
    QPushButton* cancel = makeButton(this, QStringLiteral("Command1"), cancelCaption());
    start_->setDefault(true);
    lblMode_ = new QLabel(this);
    lblMode_->setObjectName(QStringLiteral("lblMode"));
    lblMode_->hide();
    lstImagesToExport_ = new QListWidget(this);
    lstImagesToExport_->setObjectName(QStringLiteral("lstImagesToExport"));
    lstImagesToExport_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame2, 1);
    layout->addLayout(buttons);
    resize(460, 520);

    connect(start_, &QPushButton::clicked, this, &CheckOutWindow::Command2_Click);
    connect(cancel, &QPushButton::clicked, this, &CheckOutWindow::dismiss);
}

void CheckOutWindow::openFor(CheckOutKind kind, const QList<qint64>& selected) {
    lstImagesToExport_->clear();
    for (qint64 counter : selected) {
        lstImagesToExport_->addItem(QString::number(counter));
    }
    setWindowTitle(checkOutCaption(services_.state.AppTitle, kind));
    lblMode_->setText(checkOutMode(kind));
    optAll_->setText(allItemsCaption(kind));
    optSelected_->setText(selectedItemsCaption(kind));
    optSelected_->setEnabled(!selected.isEmpty());
    (selected.isEmpty() ? optAll_ : optSelected_)->setChecked(true);
    chooser_->refreshVolumes();
    // Pictures are chosen in a modal window; for files the main window is disabled instead.
    setWindowModality(kind == CheckOutKind::Images ? Qt::ApplicationModal : Qt::NonModal);
    if (kind == CheckOutKind::Files && mainWindow_) {
        mainWindow_->setEnabled(false);
    }
    setEnabled(true);
    if (mainWindow_ && !isVisible()) {
        move(mainWindow_->geometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void CheckOutWindow::Command2_Click() {
    const std::optional<CheckOutKind> kind = checkOutKindOfMode(lblMode_->text());
    if (!kind) {
        return;
    }
    // Only the folder the user chose is written to: when it has gone, the user chooses again.
    const QString destination = chooser_->currentFolder();
    if (!QFileInfo(destination).isDir()) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  folderGoneMessage(destination));
        return;
    }
    QList<qint64> selection;
    for (int i = 0; i < lstImagesToExport_->count(); ++i) {
        selection.append(lstImagesToExport_->item(i)->text().toLongLong());
    }
    // The window takes no second press while the check-out runs.
    setEnabled(false);
    Q_EMIT startRequested(*kind, optAll_->isChecked(), selection, destination);
    dismiss();
}

void CheckOutWindow::dismiss() {
    hide();
    setEnabled(true);
    if (mainWindow_) {
        mainWindow_->setEnabled(true);
    }
}

void CheckOutWindow::keyPressEvent(QKeyEvent* event) {
    // Enter that no control took (in the folder tree, say) presses "Start", and Escape
    // "Cancel", as in a dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        start_->click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CheckOutWindow::closeEvent(QCloseEvent* event) {
    if (services_.state.Quitting) {
        event->accept();
        return;
    }
    // The close box is the Cancel button; the window stays loaded for the next opening.
    event->ignore();
    if (isEnabled()) {
        dismiss();
    }
}

}  // namespace ks
