#include "options/ProtectionBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/BackupKeeping.h"
#include "core/FailureReport.h"
#include "core/LoginRules.h"
#include "core/Services.h"
#include "options/AccountProtection.h"
#include "options/ConversionParts.h"
#include "options/OptionsHost.h"
#include "options/OptionsMessages.h"
#include "protection/PassPhraseStrength.h"
#include "widgets/Controls.h"

namespace ks {

ProtectionBox::ProtectionBox(Services& services, OptionsHost& host, QWidget* parent)
    : QGroupBox(QStringLiteral("Protect my data with my password"), parent),
      services_(services),
      host_(host) {
    setObjectName(QStringLiteral("fraProtect"));
    form_ = new QWidget(this);
    txtProtectPassword_ = makePasswordBox(form_, QStringLiteral("txtProtectPassword"));
    txtPassPhrase_ = makePasswordBox(form_, QStringLiteral("txtPassPhrase"));
    txtPassPhrase2_ = makePasswordBox(form_, QStringLiteral("txtPassPhrase2"));
    for (QLineEdit* box : {txtPassPhrase_, txtPassPhrase2_}) {
        box->setMaxLength(kPassPhraseLongest);
    }
    lblStrength_ = makeLabel(form_, QStringLiteral("lblStrength"), QString());
    auto* warning = makeLabel(form_, QStringLiteral("lblProtectWarning"), protectionWarningText());
    warning->setWordWrap(true);
    auto* command = makeButton(form_, QStringLiteral("cmdProtect"), QStringLiteral("Protect"));
    auto* form = new QFormLayout(form_);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(
        makeLabel(form_, QStringLiteral("lblProtectPassword"), QStringLiteral("Current Password")),
        txtProtectPassword_);
    form->addRow(makeLabel(form_, QStringLiteral("lblPassPhrase"), QStringLiteral("Pass Phrase")),
                 txtPassPhrase_);
    form->addRow(
        makeLabel(form_, QStringLiteral("lblPassPhrase2"), QStringLiteral("Pass Phrase (Repeat)")),
        txtPassPhrase2_);
    form->addRow(QString(), lblStrength_);
    form->addRow(warning);
    form->addRow(QString(), command);
    protectedNote_ = makeLabel(this, QStringLiteral("lblProtected"),
                               QStringLiteral("Your data is protected by your pass phrase."));
    protectedNote_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(form_);
    layout->addWidget(protectedNote_);
    connect(txtPassPhrase_, &QLineEdit::textChanged, this, &ProtectionBox::showStrength);
    connect(command, &QPushButton::clicked, this, &ProtectionBox::cmdProtect_Click);
    showStrength();
    showAccountState();
}

void ProtectionBox::clearBoxes() {
    // Replaced rather than cleared: a cleared box keeps the old characters in its buffer.
    txtProtectPassword_->setText(QString());
    txtPassPhrase_->setText(QString());
    txtPassPhrase2_->setText(QString());
}

void ProtectionBox::showEvent(QShowEvent* event) {
    // The box follows whoever is logged in.
    showAccountState();
    QGroupBox::showEvent(event);
}

void ProtectionBox::showAccountState() {
    const bool isProtected = services_.state.CurrentAccount.isProtected();
    form_->setVisible(!isProtected);
    protectedNote_->setVisible(isProtected);
}

void ProtectionBox::showStrength() {
    const QString passPhrase = txtPassPhrase_->text();
    lblStrength_->setText(passPhrase.isEmpty() ? QString()
                                               : describeStrength(estimateStrength(passPhrase)));
}

void ProtectionBox::cmdProtect_Click() {
    ProgramState& state = services_.state;
    const PassPhraseRefusal refusal = validateNewPassPhrase(
        txtProtectPassword_->text(), txtPassPhrase_->text(), txtPassPhrase2_->text());
    if (refusal != PassPhraseRefusal::None) {
        services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                  passPhraseRefusalMessage(refusal));
        return;
    }
    if (convertAccount(txtProtectPassword_->text().trimmed(), txtPassPhrase_->text())) {
        clearBoxes();
        showAccountState();
    }
}

bool ProtectionBox::convertAccount(const QString& password, const QString& passPhrase) {
    ProgramState& state = services_.state;
    const Result<qint64> rows = countAccountRows(services_.database, state.UserNameCipher);
    if (!rows.ok()) {
        reportDatabaseFailure(services_, notProtectedMessage(), rows.status());
        return false;
    }
    BackupBefore backup(services_, backupReason::kProtection);
    if (!backup.mayGoOn()) {
        return false;
    }
    // The stretching is tuned to this machine: about half a second, as each login will take.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const KdfParams kdf = calibrateKdf();
    QGuiApplication::restoreOverrideCursor();
    QProgressDialog progress(QStringLiteral("Protecting your data..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(qMin<qint64>(rows.value(), INT_MAX)), this);
    progress.setObjectName(QStringLiteral("dlgProtectProgress"));
    progress.setWindowTitle(state.AppTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    int done = 0;
    const auto rowDone = [&] {
        ++done;
        // The window is kept alive between rows without repainting it for each one.
        if (sinceEvents.elapsed() >= 30) {
            progress.setValue(qMin(done, progress.maximum()));
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        return !progress.wasCanceled();
    };
    const ProtectionOutcome outcome =
        protectAccount(services_.database, state.UserNameCipher, password, passPhrase, kdf,
                       accountConversionParts(), rowDone);
    progress.reset();
    services_.database.CloseAllDatabaseObjects();
    switch (outcome.result) {
        case ProtectionOutcome::Result::PasswordIncorrect:
            services_.dialogs.message(MessageIcon::Exclamation, state.AppTitle,
                                      currentPasswordWrongMessage());
            return false;
        case ProtectionOutcome::Result::Failed:
            if (outcome.status.code != DbCode::Cancelled) {
                reportDatabaseFailure(services_, notProtectedMessage(), outcome.status);
            }
            return false;
        case ProtectionOutcome::Result::Protected:
            backup.actionDone();
            break;
    }
    state.CurrentAccount = outcome.account;
    state.PasswordCipher.clear();
    host_.accountChanged();
    services_.dialogs.message(MessageIcon::Information, state.AppTitle, protectedMessage());
    return true;
}

}  // namespace ks
