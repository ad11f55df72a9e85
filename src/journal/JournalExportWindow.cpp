#include "journal/JournalExportWindow.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "journal/JournalExport.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

QDateEdit* makeDayBox(QWidget* parent, const QString& name) {
    auto* box = new QDateEdit(parent);
    box->setObjectName(name);
    box->setCalendarPopup(true);
    box->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return box;
}

}  // namespace

JournalExportWindow::JournalExportWindow(Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("frmExportJournal"));
    setWindowTitle(services.state.AppTitle + QStringLiteral(" - Export Journal"));
    setWindowIcon(appIcon());
    setModal(true);

    dtpFrom_ = makeDayBox(this, QStringLiteral("dtpFrom"));
    dtpTo_ = makeDayBox(this, QStringLiteral("dtpTo"));
    optMarkdown_ = new QRadioButton(QStringLiteral("&Markdown (one heading a day)"), this);
    optMarkdown_->setObjectName(QStringLiteral("optMarkdown"));
    optMarkdown_->setChecked(true);
    optJson_ = new QRadioButton(QStringLiteral("&JSON (day, text, created, modified)"), this);
    optJson_->setObjectName(QStringLiteral("optJson"));

    auto* form = new QFormLayout;
    form->addRow(makeLabel(this, QStringLiteral("lblFrom"), QStringLiteral("&From"), dtpFrom_),
                 dtpFrom_);
    form->addRow(makeLabel(this, QStringLiteral("lblTo"), QStringLiteral("&To"), dtpTo_), dtpTo_);
    form->addRow(makeLabel(this, QStringLiteral("lblFormat"), QStringLiteral("Format")),
                 optMarkdown_);
    form->addRow(QString(), optJson_);

    auto* buttons = new QDialogButtonBox(this);
    auto* exportButton =
        makeButton(this, QStringLiteral("cmdExportJournal"), QStringLiteral("Export..."));
    exportButton->setDefault(true);
    buttons->addButton(exportButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(
        makeButton(this, QStringLiteral("cmdCancelExportJournal"), QStringLiteral("Cancel")),
        QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this,
            &JournalExportWindow::cmdExportJournal_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The last day never comes before the first.
    connect(dtpFrom_, &QDateEdit::dateChanged, this, [this](QDate from) {
        if (dtpTo_->date() < from) {
            dtpTo_->setDate(from);
        }
    });
    connect(dtpTo_, &QDateEdit::dateChanged, this, [this](QDate to) {
        if (dtpFrom_->date() > to) {
            dtpFrom_->setDate(to);
        }
    });
}

void JournalExportWindow::open(QDate today) {
    dtpTo_->setDate(today);
    dtpFrom_->setDate(QDate(today.year(), today.month(), 1));
    exec();
}

void JournalExportWindow::cmdExportJournal_Click() {
    const bool json = optJson_->isChecked();
    const QString path = services_.dialogs.saveFile(
        QStringLiteral("Export Journal"),
        {json ? QStringLiteral("JSON files (*.json)") : QStringLiteral("Markdown files (*.md)")},
        QDir::homePath() +
            (json ? QStringLiteral("/journal.json") : QStringLiteral("/journal.md")));
    if (path.isEmpty()) {
        return;  // the window stays for another choice
    }
    const JournalExportOutcome outcome =
        exportJournal(services_.database, services_.state.CurrentAccount, dtpFrom_->date(),
                      dtpTo_->date(), json ? JournalFormat::Json : JournalFormat::Markdown, path);
    const QString title = services_.state.AppTitle;
    if (!outcome.ok()) {
        services_.dialogs.message(MessageIcon::Exclamation, title,
                                  journalExportFailedText(outcome));
        return;
    }
    accept();
    services_.dialogs.message(MessageIcon::Information, title,
                              journalExportDoneText(outcome.entries, path));
}

}  // namespace ks
