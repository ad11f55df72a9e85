#include "journal/JournalHistoryWindow.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "core/FailureReport.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/HistoryList.h"

namespace ks {

JournalHistoryWindow::JournalHistoryWindow(Services& services, const QString& dateText,
                                           QWidget* parent)
    : QDialog(parent), services_(services), dateText_(dateText) {
    setObjectName(QStringLiteral("frmJournalHistory"));
    setWindowTitle(services.state.AppTitle + QStringLiteral(" - Journal History - ") + dateText);
    lstHistory_ = makeHistoryList(this, {QStringLiteral("Replaced"), QStringLiteral("Characters")});
    txtHistoryText_ = new QPlainTextEdit(this);
    txtHistoryText_->setObjectName(QStringLiteral("txtHistoryText"));
    txtHistoryText_->setReadOnly(true);
    cmdRestore_ = makeButton(this, QStringLiteral("cmdRestore"), restoreCaption());
    connect(lstHistory_, &QTreeWidget::currentItemChanged, this,
            &JournalHistoryWindow::showSelected);
    connect(cmdRestore_, &QPushButton::clicked, this, &JournalHistoryWindow::cmdRestore_Click);
    layOutHistoryWindow(this, lstHistory_, txtHistoryText_, 2, cmdRestore_);
    resize(760, 420);
}

bool JournalHistoryWindow::refresh() {
    lstHistory_->clear();
    const Result<QList<JournalVersion>> versions =
        ListJournalHistory(services_.database, services_.state.CurrentAccount, dateText_);
    versions_ = versions.ok() ? versions.value() : QList<JournalVersion>();
    const QLocale locale;
    for (const JournalVersion& version : versions_) {
        new QTreeWidgetItem(
            lstHistory_, {historyTimeText(version.replaced), locale.toString(version.text.size())});
    }
    if (!versions_.isEmpty()) {
        lstHistory_->setCurrentItem(lstHistory_->topLevelItem(0));
    }
    showSelected();
    if (!versions.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The entry's history could not be read."),
                              versions.status());
    }
    return versions.ok();
}

void JournalHistoryWindow::showSelected() {
    const int at = lstHistory_->indexOfTopLevelItem(lstHistory_->currentItem());
    cmdRestore_->setEnabled(at >= 0 && !versions_.at(at).damaged);
    txtHistoryText_->setPlainText(at >= 0 ? versions_.at(at).text
                                          : QStringLiteral("This entry has no earlier texts."));
}

void JournalHistoryWindow::cmdRestore_Click() {
    const int at = lstHistory_->indexOfTopLevelItem(lstHistory_->currentItem());
    if (at < 0 || versions_.at(at).damaged) {
        return;
    }
    const JournalVersion version = versions_.at(at);
    if (!services_.dialogs.askYesNo(
            services_.state.AppTitle,
            QStringLiteral("Restore the text replaced on %1?\r\rThe entry as it is saved now is "
                           "kept in its history, so this can be undone the same way.")
                .arg(historyTimeText(version.replaced)))) {
        return;
    }
    accept();
    emit restoreAsked(version.text);
}

}  // namespace ks
