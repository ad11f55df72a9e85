#include "options/SyncBox.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSysInfo>
#include <QTreeWidget>

#include "core/CommonTexts.h"
#include "core/Services.h"
#include "options/OptionsHost.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"

namespace ks {

namespace {

QString machineState(const SyncMachine& machine) {
    if (machine.allApplied) {
        return QStringLiteral("all applied");
    }
    if (machine.notes.isEmpty()) {
        return QStringLiteral("changes waiting");
    }
    return machine.notes.size() == 1 ? QStringLiteral("1 file skipped")
                                     : QStringLiteral("%1 files skipped").arg(machine.notes.size());
}

// Whether `folder` is the data folder or lies inside it, where the vault's own files are.
bool insideDataFolder(const QString& folder, const QString& dataFolder) {
    const QString inner = QDir(folder).canonicalPath() + QLatin1Char('/');
    const QString data = QDir(dataFolder).canonicalPath() + QLatin1Char('/');
    return inner.startsWith(data);
}

}  // namespace

SyncBox::SyncBox(Services& services, OptionsHost& host, QWidget* parent)
    : QGroupBox(QStringLiteral("Sync folder"), parent), services_(services), host_(host) {
    setObjectName(QStringLiteral("fraSync"));
    txtSyncFolder_ = new QLineEdit(this);
    txtSyncFolder_->setObjectName(QStringLiteral("txtSyncFolder"));
    txtSyncFolder_->setReadOnly(true);
    txtSyncFolder_->setPlaceholderText(QStringLiteral("None"));
    auto* choose = makeButton(this, QStringLiteral("cmdSyncChoose"), QStringLiteral("Choose..."));
    auto* none = makeButton(this, QStringLiteral("cmdSyncNone"), QStringLiteral("No Sync"));
    txtMachineName_ = new QLineEdit(this);
    txtMachineName_->setObjectName(QStringLiteral("txtMachineName"));
    txtMachineName_->setMaxLength(100);
    lstSyncMachines_ = new QTreeWidget(this);
    lstSyncMachines_->setObjectName(QStringLiteral("lstSyncMachines"));
    lstSyncMachines_->setHeaderLabels(
        {QStringLiteral("Machine"), QStringLiteral("Last change"), QStringLiteral("State")});
    lstSyncMachines_->setUniformRowHeights(true);
    lstSyncMachines_->setTextElideMode(Qt::ElideMiddle);
    // The machine's name takes the room; time and state are as wide as they need.
    lstSyncMachines_->header()->setStretchLastSection(false);
    lstSyncMachines_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstSyncMachines_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lstSyncMachines_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    lblSyncState_ = makeLabel(this, QStringLiteral("lblSyncState"), QString());
    lblSyncState_->setWordWrap(true);
    lblSyncState_->hide();  // shown with a failure only, so that the tab keeps its height
    auto* save = makeButton(this, QStringLiteral("cmdSyncSave"), saveCaption());
    auto* grid = new QGridLayout(this);
    grid->addWidget(
        makeLabel(this, QStringLiteral("lblSyncFolder"), QStringLiteral("Folder:"), txtSyncFolder_),
        0, 0);
    grid->addWidget(txtSyncFolder_, 0, 1);
    grid->addWidget(choose, 0, 2);
    grid->addWidget(none, 0, 3);
    grid->addWidget(makeLabel(this, QStringLiteral("lblMachineName"),
                              QStringLiteral("This machine:"), txtMachineName_),
                    1, 0);
    grid->addWidget(txtMachineName_, 1, 1);
    grid->addWidget(save, 1, 3);
    grid->addWidget(lstSyncMachines_, 2, 0, 1, 4);
    grid->addWidget(lblSyncState_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    connect(choose, &QPushButton::clicked, this, &SyncBox::cmdSyncChoose_Click);
    connect(none, &QPushButton::clicked, txtSyncFolder_, &QLineEdit::clear);
    connect(save, &QPushButton::clicked, this, &SyncBox::cmdSyncSave_Click);
}

void SyncBox::showEvent(QShowEvent* event) {
    refresh();
    QGroupBox::showEvent(event);
}

void SyncBox::refresh() {
    const SyncSettings& inForce = services_.state.Sync;
    // What the user has typed and not saved stays while the settings in force stay the same.
    if (!boxesFrom_ || *boxesFrom_ != inForce) {
        txtSyncFolder_->setText(QDir::toNativeSeparators(inForce.folder));
        txtMachineName_->setText(inForce.machineName.isEmpty() ? QSysInfo::machineHostName()
                                                               : inForce.machineName);
        boxesFrom_ = inForce;
    }
    if (inForce.folder.isEmpty()) {
        listMachines({});
        lblSyncState_->clear();
        lblSyncState_->hide();
        return;
    }
    SyncRequest request;
    request.dataFolder = services_.state.DataFolder;
    request.syncFolder = inForce.folder;
    request.machineName = inForce.machineName;
    listMachines(syncMachines(services_.database, request));
}

void SyncBox::showOutcome(const SyncOutcome& outcome) {
    if (services_.state.Sync.folder.isEmpty()) {
        return;
    }
    listMachines(outcome.machines);
    lblSyncState_->setText(outcome.ok()
                               ? QString()
                               : QStringLiteral("The last pass over the sync folder failed: %1")
                                     .arg(outcome.status.detail));
    lblSyncState_->setVisible(!outcome.ok());
}

void SyncBox::listMachines(const QList<SyncMachine>& machines) {
    lstSyncMachines_->clear();
    const QLocale locale;
    for (const SyncMachine& machine : machines) {
        const QString name = oneLineText(machine.name.isEmpty() ? machine.id : machine.name);
        auto* item = new QTreeWidgetItem(
            lstSyncMachines_,
            {name,
             machine.lastChange.isValid()
                 ? locale.toString(machine.lastChange.toLocalTime(), QLocale::ShortFormat)
                 : QString(),
             machineState(machine)});
        item->setToolTip(0, plainToolTip(machine.name + QStringLiteral("\n") + machine.id));
        for (const QString& note : machine.notes) {
            // A note is "<file>: <reason>": the reason is what the line shows, the file name
            // (a long hash) is in the tip with it.
            const qsizetype colon = note.indexOf(QStringLiteral(": "));
            const QString reason = colon < 0 ? note : note.mid(colon + 2);
            auto* child = new QTreeWidgetItem(item, {oneLineText(reason)});
            child->setFirstColumnSpanned(true);
            child->setToolTip(0, plainToolTip(note));
        }
        item->setExpanded(true);
    }
}

void SyncBox::cmdSyncChoose_Click() {
    const QString chosen =
        services_.dialogs.chooseFolder(QStringLiteral("Sync folder"), services_.state.Sync.folder);
    if (!chosen.isEmpty()) {
        txtSyncFolder_->setText(QDir::toNativeSeparators(chosen));
    }
}

SyncSettings SyncBox::chosenSettings() const {
    SyncSettings chosen;
    chosen.folder = QDir::fromNativeSeparators(txtSyncFolder_->text());
    // The host name typed back is no name of its own: the machine follows its host name.
    const QString name = txtMachineName_->text().trimmed();
    chosen.machineName = name == QSysInfo::machineHostName() ? QString() : name;
    return chosen;
}

void SyncBox::cmdSyncSave_Click() {
    const ProgramState& state = services_.state;
    const SyncSettings chosen = chosenSettings();
    if (!chosen.folder.isEmpty() && !QFileInfo(chosen.folder).isDir()) {
        services_.dialogs.message(
            MessageIcon::Exclamation, state.AppTitle,
            QStringLiteral("The sync folder %1 is not there.").arg(chosen.folder));
        return;
    }
    if (!chosen.folder.isEmpty() && insideDataFolder(chosen.folder, state.DataFolder)) {
        services_.dialogs.message(
            MessageIcon::Exclamation, state.AppTitle,
            QStringLiteral("The sync folder cannot be inside the data folder %1, which must stay "
                           "private. Choose a folder of its own.")
                .arg(QDir::toNativeSeparators(state.DataFolder)));
        return;
    }
    if (const FsResult written = writeSyncSettings(state.DataFolder, chosen); !written) {
        services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                  settingsNotSavedMessage(written.error));
        return;
    }
    services_.state.Sync = chosen;
    host_.syncSettingsChanged();
    refresh();
}

}  // namespace ks
