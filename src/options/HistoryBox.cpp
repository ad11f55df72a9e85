#include "options/HistoryBox.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "core/CommonTexts.h"
#include "core/FailureReport.h"
#include "core/Services.h"
#include "options/OptionsHost.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/HistoryList.h"

namespace ks {

namespace {

// Wide enough for a usual short name; a longer one is cut short and shown whole on hover.
constexpr int kNameColumnWidth = 220;
constexpr int kLowestListHeight = 48;

QSpinBox* makeSpinBox(QWidget* parent, const QString& name, int most) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, most);
    return box;
}

}  // namespace

HistoryBox::HistoryBox(Services& services, OptionsHost& host, QWidget* parent)
    : QGroupBox(QStringLiteral("History"), parent),
      services_(services),
      host_(host),
      records_(services.database, &services.state.History) {
    setObjectName(QStringLiteral("fraHistory"));
    spnHistoryVersions_ =
        makeSpinBox(this, QStringLiteral("spnHistoryVersions"), HistorySettings::kMostVersions);
    spnHistoryVersions_->setSpecialValueText(QStringLiteral("None"));
    spnHistoryVersions_->setToolTip(
        QStringLiteral("How many earlier versions of each record and journal entry are kept"));
    spnDeletedDays_ =
        makeSpinBox(this, QStringLiteral("spnDeletedDays"), HistorySettings::kMostDeletedDays);
    spnDeletedDays_->setSuffix(QStringLiteral(" days"));
    lstDeletedRecords_ = new QTreeWidget(this);
    lstDeletedRecords_->setObjectName(QStringLiteral("lstDeletedRecords"));
    lstDeletedRecords_->setHeaderLabels(
        {QStringLiteral("Deleted"), shortNameCaption(), categoryCaption()});
    lstDeletedRecords_->setRootIsDecorated(false);
    lstDeletedRecords_->setTextElideMode(Qt::ElideRight);
    lstDeletedRecords_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lstDeletedRecords_->setColumnWidth(1, kNameColumnWidth);
    lstDeletedRecords_->setUniformRowHeights(true);
    lstDeletedRecords_->setAllColumnsShowFocus(true);
    auto* save = makeButton(this, QStringLiteral("cmdHistorySave"), saveCaption());
    auto* restore = makeButton(this, QStringLiteral("cmdRestoreDeleted"), restoreCaption());
    auto* clear =
        makeButton(this, QStringLiteral("cmdClearHistory"), QStringLiteral("Clear History..."));
    connect(save, &QPushButton::clicked, this, &HistoryBox::cmdHistorySave_Click);
    connect(restore, &QPushButton::clicked, this, &HistoryBox::cmdRestoreDeleted_Click);
    connect(clear, &QPushButton::clicked, this, &HistoryBox::cmdClearHistory_Click);
    // Kept low: the tab must fit the window's smallest height with the frames above it.
    lstDeletedRecords_->setMinimumHeight(kLowestListHeight);
    lstDeletedRecords_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel(this, QStringLiteral("lblHistoryVersions"),
                              QStringLiteral("Versions kept:"), spnHistoryVersions_),
                    0, 0);
    grid->addWidget(spnHistoryVersions_, 0, 1);
    grid->addWidget(makeLabel(this, QStringLiteral("lblDeletedDays"),
                              QStringLiteral("Deleted records kept:"), spnDeletedDays_),
                    1, 0);
    grid->addWidget(spnDeletedDays_, 1, 1);
    grid->addWidget(save, 1, 2, Qt::AlignRight);
    grid->addWidget(lstDeletedRecords_, 2, 0, 1, 3);
    grid->addWidget(clear, 3, 0, Qt::AlignLeft);
    grid->addWidget(restore, 3, 2, Qt::AlignRight);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);
}

void HistoryBox::showEvent(QShowEvent* event) {
    refresh();
    QGroupBox::showEvent(event);
}

void HistoryBox::refresh() {
    spnHistoryVersions_->setValue(services_.state.History.versionsKept);
    spnDeletedDays_->setValue(services_.state.History.deletedDays);
    lstDeletedRecords_->clear();
    deleted_.clear();
    if (!services_.state.LoggedIn) {
        return;
    }
    const Result<QList<DeletedRecord>> listed = ListDeletedRecords(
        services_.database, services_.state.CurrentAccount, services_.state.History);
    if (!listed.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The deleted records could not be read."),
                              listed.status());
        return;
    }
    deleted_ = listed.value();
    for (const DeletedRecord& record : deleted_) {
        auto* item = new QTreeWidgetItem(lstDeletedRecords_, {historyTimeText(record.deleted),
                                                              record.shortName, record.category});
        item->setToolTip(1, record.shortName);
        item->setToolTip(2, record.category);
    }
}

void HistoryBox::cmdHistorySave_Click() {
    const HistorySettings chosen{spnHistoryVersions_->value(), spnDeletedDays_->value()};
    HistorySettings& inForce = services_.state.History;
    if ((chosen.versionsKept < inForce.versionsKept || chosen.deletedDays < inForce.deletedDays) &&
        !services_.dialogs.askYesNo(
            services_.state.AppTitle,
            QStringLiteral("Keeping less removes the older versions and deleted records of your "
                           "account now; they cannot be brought back.\r\rGo on?"))) {
        return;
    }
    if (const FsResult written = writeHistorySettings(services_.state.DataFolder, chosen);
        !written) {
        services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                  settingsNotSavedMessage(written.error));
        return;
    }
    inForce = chosen;
    if (services_.state.LoggedIn) {
        const DbStatus status =
            ApplyHistorySettings(services_.database, services_.state.CurrentAccount, chosen);
        if (!status.ok()) {
            reportDatabaseFailure(services_, QStringLiteral("The history could not be trimmed."),
                                  status);
        }
    }
    refresh();
}

void HistoryBox::cmdRestoreDeleted_Click() {
    const int at = lstDeletedRecords_->indexOfTopLevelItem(lstDeletedRecords_->currentItem());
    if (at < 0) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  QStringLiteral("You must select a deleted record to restore."));
        return;
    }
    const SaveResult result =
        records_.RestoreDeletedRecord(services_.state.CurrentAccount, deleted_.at(at).id);
    if (result.outcome == SaveOutcome::Saved) {
        host_.accountChanged();  // the vault reads its records and categories again
    } else {
        reportSaveRefused(services_, result);
    }
    refresh();
}

void HistoryBox::cmdClearHistory_Click() {
    if (!services_.dialogs.askYesNo(
            services_.state.AppTitle,
            QStringLiteral("Remove every kept version of your records and journal entries, and "
                           "your deleted records? They cannot be brought back."))) {
        return;
    }
    if (DbStatus status = ClearAccountHistory(services_.database, services_.state.CurrentAccount);
        !status.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The history could not be cleared."),
                              status);
    }
    refresh();
}

}  // namespace ks
