#include "options/OptionsPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/Services.h"
#include "options/BackupsBox.h"
#include "options/HistoryBox.h"
#include "options/ProtectionBox.h"
#include "options/SyncBox.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/VolumeFolderChooser.h"

namespace ks {

OptionsPage::OptionsPage(Services& services, OptionsHost& host, QWidget* parent)
    : QWidget(parent), services_(services), host_(host) {
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("pctOptions"));
    new QVBoxLayout(panel_);

    auto* frame5 =
        transferFrame(QStringLiteral("Frame5"), QStringLiteral("Export Database"),
                      QStringLiteral("drvExport"), QStringLiteral("dirExport"),
                      QStringLiteral("cmdExport"), QStringLiteral("Export"), exportChooser_);
    auto* frame4 =
        transferFrame(QStringLiteral("Frame4"), QStringLiteral("Import Database"),
                      QStringLiteral("drvImport"), QStringLiteral("dirImport"),
                      QStringLiteral("cmdImport"), QStringLiteral("Import"), importChooser_);
    connect(findChild<QPushButton*>(QStringLiteral("cmdExport")), &QPushButton::clicked, this,
            &OptionsPage::cmdExport_Click);
    connect(findChild<QPushButton*>(QStringLiteral("cmdImport")), &QPushButton::clicked, this,
            &OptionsPage::cmdImport_Click);
    // Beside Import: another database merged into this one instead of replacing it.
    auto* merge = makeButton(frame4, QStringLiteral("cmdMerge"), QStringLiteral("Merge..."));
    frame4->findChild<QHBoxLayout*>()->insertWidget(1, merge);
    connect(merge, &QPushButton::clicked, this, &OptionsPage::cmdMerge_Click);

    auto* left = new QVBoxLayout;
    left->addWidget(passwordFrame());
    protection_ = new ProtectionBox(services_, host_, this);
    left->addWidget(protection_);
    left->addWidget(onExitFrame());
    left->addWidget(new HistoryBox(services_, host_, this), 1);
    auto* transfer = new QHBoxLayout;
    transfer->addWidget(frame5);
    transfer->addWidget(frame4);
    auto* right = new QVBoxLayout;
    right->addLayout(transfer, 3);
    right->addWidget(new BackupsBox(services_, host_, this), 2);
    sync_ = new SyncBox(services_, host_, this);
    right->addWidget(sync_, 2);
    right->addWidget(lockFrame());
    // The boxes keep their natural height; a window too small for them scrolls rather than
    // squeezing lists to their headers and cutting notes short.
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    columns->addLayout(left, 1);
    columns->addLayout(right, 2);
    auto* scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroller);
    selectOnExitPolicy(1);
    selectLockSettings(LockSettings());
}

QGroupBox* OptionsPage::passwordFrame() {
    auto* frame2 = new QGroupBox(QStringLiteral("Change your password"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    txtOldPassword_ = makePasswordBox(frame2, QStringLiteral("txtOldPassword"));
    txtNewPassword_ = makePasswordBox(frame2, QStringLiteral("txtNewPassword"));
    txtNewPassword2_ = makePasswordBox(frame2, QStringLiteral("txtNewPassword2"));
    auto* form = new QFormLayout(frame2);
    form->addRow(makeLabel(frame2, QStringLiteral("Label14"), QStringLiteral("Old Password")),
                 txtOldPassword_);
    form->addRow(makeLabel(frame2, QStringLiteral("Label16"), QStringLiteral("New Password")),
                 txtNewPassword_);
    form->addRow(
        makeLabel(frame2, QStringLiteral("Label17"), QStringLiteral("New Password (Repeat)")),
        txtNewPassword2_);
    auto* command5 = makeButton(frame2, QStringLiteral("Command5"), saveCaption());
    form->addRow(QString(), command5);
    connect(command5, &QPushButton::clicked, this, &OptionsPage::Command5_Click);
    return frame2;
}

QGroupBox* OptionsPage::onExitFrame() {
    auto* frame3 = new QGroupBox(QStringLiteral("On exit:"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    optAlwaysCompress_ =
        new QRadioButton(QStringLiteral("Always compress the database, if required"), frame3);
    optAlwaysCompress_->setObjectName(QStringLiteral("optAlwaysCompress"));
    optAskToCompress_ =
        new QRadioButton(QStringLiteral("Ask me before compressing the database"), frame3);
    optAskToCompress_->setObjectName(QStringLiteral("optAskToCompress"));
    optNeverCompress_ =
        new QRadioButton(QStringLiteral("Never compress the database (not recommended)"), frame3);
    optNeverCompress_->setObjectName(QStringLiteral("optNeverCompress"));
    auto* command6 = makeButton(frame3, QStringLiteral("Command6"), saveCaption());
    auto* exitLayout = new QVBoxLayout(frame3);
    exitLayout->addWidget(optAlwaysCompress_);
    exitLayout->addWidget(optAskToCompress_);
    exitLayout->addWidget(optNeverCompress_);
    exitLayout->addWidget(command6, 0, Qt::AlignRight);
    connect(command6, &QPushButton::clicked, this,
            [this] { Q_EMIT saveOnExitPolicy(selectedOnExitPolicy()); });
    return frame3;
}

QGroupBox* OptionsPage::lockFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Lock"), this);
    frame->setObjectName(QStringLiteral("fraLock"));
    spnLockMinutes_ = new QSpinBox(frame);
    spnLockMinutes_->setObjectName(QStringLiteral("spnLockMinutes"));
    spnLockMinutes_->setRange(0, LockSettings::kMostMinutes);
    spnLockMinutes_->setSpecialValueText(QStringLiteral("Never"));
    // The unit follows the number: 1 minute, 2 minutes.
    connect(spnLockMinutes_, &QSpinBox::valueChanged, spnLockMinutes_, [box = spnLockMinutes_] {
        box->setSuffix(box->value() == 1 ? QStringLiteral(" minute") : QStringLiteral(" minutes"));
    });
    chkLockOnScreenLock_ =
        new QCheckBox(QStringLiteral("Lock when the screen locks or the computer sleeps"), frame);
    chkLockOnScreenLock_->setObjectName(QStringLiteral("chkLockOnScreenLock"));
    auto* save = makeButton(frame, QStringLiteral("cmdLockSave"), saveCaption());
    auto* grid = new QGridLayout(frame);
    grid->addWidget(makeLabel(frame, QStringLiteral("lblLockMinutes"),
                              QStringLiteral("Lock after minutes without use:")),
                    0, 0);
    grid->addWidget(spnLockMinutes_, 0, 1, Qt::AlignLeft);
    grid->addWidget(chkLockOnScreenLock_, 1, 0, 1, 2);
    grid->addWidget(save, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    connect(save, &QPushButton::clicked, this,
            [this] { Q_EMIT saveLockSettings(chosenLockSettings()); });
    return frame;
}

void OptionsPage::selectLockSettings(const LockSettings& lock) {
    spnLockMinutes_->setValue(lock.idleMinutes);
    chkLockOnScreenLock_->setChecked(lock.onScreenLock);
}

LockSettings OptionsPage::chosenLockSettings() const {
    return {spnLockMinutes_->value(), chkLockOnScreenLock_->isChecked()};
}

// A volume list above a folder tree, as the export and import frames show them.
QGroupBox* OptionsPage::transferFrame(const QString& frame, const QString& caption,
                                      const QString& drive, const QString& folder,
                                      const QString& command, const QString& commandCaption,
                                      VolumeFolderChooser*& chooser) {
    auto* box = new QGroupBox(caption, this);
    box->setObjectName(frame);
    chooser =
        new VolumeFolderChooser(services_.dialogs, services_.state.AppTitle, drive, folder, box);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(chooser, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(makeButton(box, command, commandCaption));
    layout->addLayout(buttons);
    return box;
}

void OptionsPage::selectOnExitPolicy(int policy) {
    (policy == 0   ? optNeverCompress_
     : policy == 1 ? optAskToCompress_
                   : optAlwaysCompress_)
        ->setChecked(true);
}

int OptionsPage::selectedOnExitPolicy() const {
    if (optNeverCompress_->isChecked()) {
        return 0;
    }
    if (optAskToCompress_->isChecked()) {
        return 1;
    }
    return 2;
}

void OptionsPage::showSyncOutcome(const SyncOutcome& outcome) {
    sync_->showOutcome(outcome);
}

void OptionsPage::clearPasswordBoxes() {
    // Replaced rather than cleared: a cleared box keeps the old characters in its buffer.
    txtOldPassword_->setText(QString());
    txtNewPassword_->setText(QString());
    txtNewPassword2_->setText(QString());
    protection_->clearBoxes();
}

}  // namespace ks
