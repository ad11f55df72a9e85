#include "vault/RecordHistoryWindow.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/FailureReport.h"
#include "vault/VaultFailure.h"
#include "vault/VaultLabels.h"
#include "widgets/Controls.h"
#include "widgets/HistoryList.h"

namespace ks {

namespace {

// What the save that replaced a version changed, by the editor's captions.
QString changedText(unsigned changed) {
    const std::pair<unsigned, QString> fields[] = {
        {FieldShortName, shortNameCaption()}, {FieldUserName, userNameCaption()},
        {FieldPassword, passwordCaption()},   {FieldDescription, descriptionCaption()},
        {FieldNotes, notesCaption()},         {FieldCategory, categoryCaption()}};
    QStringList names;
    for (const auto& [flag, caption] : fields) {
        if ((changed & flag) != 0U) {
            names.append(caption);
        }
    }
    return names.isEmpty() ? QStringLiteral("No change") : names.join(QStringLiteral(", "));
}

// The values of a version as the window shows them, one field after the other.
QString versionText(const RecordFields& fields, bool showPassword) {
    constexpr int kHiddenLength = 8;
    const QString password = showPassword ? fields.password : QString(kHiddenLength, QChar(0x2022));
    return QStringList{shortNameCaption() + QStringLiteral(": ") + fields.shortName,
                       userNameCaption() + QStringLiteral(": ") + fields.userName,
                       passwordCaption() + QStringLiteral(": ") + password,
                       categoryCaption() + QStringLiteral(": ") + fields.category,
                       descriptionCaption() + QStringLiteral(":\n") + fields.description,
                       notesCaption() + QStringLiteral(":\n") + fields.notes}
        .join(QStringLiteral("\n"));
}

}  // namespace

RecordHistoryWindow::RecordHistoryWindow(Services& services, RecordStore& records, qint64 counter,
                                         bool editorChanged, QWidget* parent)
    : QDialog(parent),
      services_(services),
      records_(records),
      counter_(counter),
      editorChanged_(editorChanged) {
    setObjectName(QStringLiteral("frmRecordHistory"));
    setWindowTitle(services.state.AppTitle + QStringLiteral(" - Record History"));
    lstHistory_ = makeHistoryList(this, {QStringLiteral("Replaced"), QStringLiteral("Changed")});
    txtVersion_ = new QPlainTextEdit(this);
    txtVersion_->setObjectName(QStringLiteral("txtVersion"));
    txtVersion_->setReadOnly(true);
    chkShowPassword_ = new QCheckBox(QStringLiteral("Show password"), this);
    chkShowPassword_->setObjectName(QStringLiteral("chkShowPassword"));
    cmdRestore_ = makeButton(this, QStringLiteral("cmdRestore"), restoreCaption());
    connect(lstHistory_, &QTreeWidget::currentItemChanged, this,
            &RecordHistoryWindow::showSelected);
    connect(chkShowPassword_, &QCheckBox::toggled, this, &RecordHistoryWindow::showSelected);
    connect(cmdRestore_, &QPushButton::clicked, this, &RecordHistoryWindow::cmdRestore_Click);
    layOutHistoryWindow(this, lstHistory_, txtVersion_, 1, cmdRestore_, chkShowPassword_);
    resize(720, 400);
}

bool RecordHistoryWindow::refresh() {
    lstHistory_->clear();
    const Result<QList<RecordVersion>> versions =
        ListRecordHistory(services_.database, services_.state.CurrentAccount, counter_);
    versions_ = versions.ok() ? versions.value() : QList<RecordVersion>();
    for (const RecordVersion& version : versions_) {
        auto* item = new QTreeWidgetItem(
            lstHistory_, {historyTimeText(version.replaced), changedText(version.changed)});
        item->setToolTip(1, item->text(1));
    }
    if (!versions_.isEmpty()) {
        lstHistory_->setCurrentItem(lstHistory_->topLevelItem(0));
    }
    showSelected();
    if (!versions.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The record's history could not be read."),
                              versions.status());
    }
    return versions.ok();
}

void RecordHistoryWindow::showSelected() {
    const int at = lstHistory_->indexOfTopLevelItem(lstHistory_->currentItem());
    cmdRestore_->setEnabled(at >= 0);
    txtVersion_->setPlainText(
        at >= 0 ? versionText(versions_.at(at).fields, chkShowPassword_->isChecked())
                : QStringLiteral("This record has no earlier versions."));
}

void RecordHistoryWindow::cmdRestore_Click() {
    const int at = lstHistory_->indexOfTopLevelItem(lstHistory_->currentItem());
    if (at < 0) {
        return;
    }
    const RecordVersion& version = versions_.at(at);
    QString question =
        QStringLiteral(
            "Restore the version replaced on %1?\r\rThe record as it is saved now is "
            "kept in its history, so this can be undone the same way.")
            .arg(historyTimeText(version.replaced));
    if (editorChanged_) {
        question += QStringLiteral("\r\rWhat you typed in the editor and did not save is lost.");
    }
    if (!services_.dialogs.askYesNo(services_.state.AppTitle, question)) {
        return;
    }
    const SaveResult result =
        records_.RestoreVersion(services_.state.CurrentAccount, counter_, version.id);
    if (result.outcome != SaveOutcome::Saved) {
        reportSaveRefused(services_, result);
        refresh();
        return;
    }
    const RecordFields fields = version.fields;
    emit restored(fields, result.categoryAdded);
    accept();
}

}  // namespace ks
