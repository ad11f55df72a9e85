#include "options/BackupsBox.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/DatabaseTexts.h"
#include "core/FailureReport.h"
#include "core/Services.h"
#include "crypto/PassPhrase.h"
#include "options/DatabaseTransfer.h"
#include "options/OptionsHost.h"
#include "options/OptionsMessages.h"
#include "storage/BackupRotation.h"
#include "storage/Backups.h"
#include "storage/DatabaseCopy.h"
#include "storage/WorkFiles.h"
#include "widgets/Controls.h"

namespace ks {

namespace {

// "before-password-change" as the list shows it: "before password change".
QString shownReason(const QString& reason) {
    return QString(reason).replace(QLatin1Char('-'), QLatin1Char(' '));
}

QString shownTime(const QDateTime& made) {
    return QLocale().toString(made, QLocale::ShortFormat);
}

QString restoreQuestion(const BackupFile& backup, const QString& details) {
    return QStringLiteral(
               "You are about to replace the current database with the backup made %1 "
               "(%2).\r\r%3\r\rAre you sure?")
        .arg(shownTime(backup.made), shownReason(backup.reason), details);
}

}  // namespace

BackupsBox::BackupsBox(Services& services, OptionsHost& host, QWidget* parent)
    : QGroupBox(QStringLiteral("Backups"), parent), services_(services), host_(host) {
    setObjectName(QStringLiteral("fraBackups"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstBackups"));
    list_->setHeaderLabels(
        {QStringLiteral("Made"), QStringLiteral("Reason"), QStringLiteral("Size")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* restore =
        makeButton(this, QStringLiteral("cmdRestoreBackup"), QStringLiteral("Restore..."));
    connect(restore, &QPushButton::clicked, this, &BackupsBox::cmdRestoreBackup_Click);
    connect(list_, &QTreeWidget::itemActivated, this, &BackupsBox::cmdRestoreBackup_Click);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(restore, 0, Qt::AlignRight);
}

void BackupsBox::showEvent(QShowEvent* event) {
    refresh();
    QGroupBox::showEvent(event);
}

void BackupsBox::refresh() {
    list_->clear();
    const QList<BackupFile> backups = listBackups(services_.state.DataFolder);
    const QLocale locale;
    for (auto it = backups.crbegin(); it != backups.crend(); ++it) {
        auto* item =
            new QTreeWidgetItem(list_, {shownTime(it->made), shownReason(it->reason),
                                        locale.formattedDataSize(QFileInfo(it->path).size())});
        item->setData(0, Qt::UserRole, it->path);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (list_->topLevelItemCount() > 0) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
}

void BackupsBox::cmdRestoreBackup_Click() {
    const ProgramState& state = services_.state;
    Dialogs& dialogs = services_.dialogs;
    const QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                        QStringLiteral("Choose the backup to restore."));
        return;
    }
    const QString path = item->data(0, Qt::UserRole).toString();
    const QList<BackupFile> backups = listBackups(state.DataFolder);
    const auto chosen = std::find_if(backups.cbegin(), backups.cend(),
                                     [&](const BackupFile& file) { return file.path == path; });
    const DbStatus staged =
        chosen == backups.cend()
            ? DbStatus{DbCode::CannotOpen, QStringLiteral("the backup is no longer there")}
            : stageDatabaseForImport(path, importStagingPath(state.DataFolder), PassPhrase());
    if (!staged.ok()) {
        dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                        notImportableMessage(state.AppTitle, path) + QStringLiteral("\r\r") +
                            describeDatabaseFailure(staged));
        refresh();
        return;
    }
    const Result<ImportSummary> summary =
        summarizeStagedImport(state.DataFolder, state.UserNameCipher);
    const bool confirmed =
        summary.ok() &&
        dialogs.askYesNoWithDefault(
            state.AppTitle,
            restoreQuestion(*chosen, importDetails(summary.value(), state.LoginUserName.trimmed())),
            summary.value().holdsAccount ? DefaultAnswer::Yes : DefaultAnswer::No);
    if (!summary.ok()) {
        reportDatabaseFailure(services_, importFailedMessage(), summary.status());
    }
    if (!confirmed) {
        discardStagedImport(state.DataFolder);
        return;
    }
    services_.database.CloseAllDatabaseObjects();
    const Result<QString> kept =
        completeImport(state.DataFolder, state.DatabasePath, services_.clock.now(), {});
    if (!kept.ok()) {
        reportDatabaseFailure(services_, importFailedMessage(), kept.status());
        return;
    }
    rotateBackups(state.DataFolder);
    dialogs.message(MessageIcon::Information, state.AppTitle,
                    importCompleteMessage(state.AppTitle));
    host_.restartProgram();
}

}  // namespace ks
