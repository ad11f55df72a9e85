// Copying a record's user name and password from the Password Vault tab without showing them.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "vault/VaultFailure.h"
#include "vault/VaultPage.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"
#include "widgets/SecretClipboard.h"

namespace ks {

namespace {

// How long a status word stays that needs no reading twice.
constexpr int kShortMessageMs = 5000;
constexpr int kSmallIconSide = 16;

QString userNameCopiedText() {
    return QStringLiteral("User name copied.");
}

QString passwordCopiedText(int seconds) {
    return QStringLiteral("Password copied; it will be cleared from the clipboard in %1 %2.")
        .arg(seconds)
        .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
}

QString passwordClearedText() {
    return QStringLiteral("The copied password has been cleared from the clipboard.");
}

QString noRecordSelectedText() {
    return QStringLiteral("Select a record to copy from.");
}

QString noUserNameText() {
    return QStringLiteral("The record has no user name to copy.");
}

QString noPasswordText() {
    return QStringLiteral("The record has no password to copy.");
}

QAction* makeMenuAction(QObject* parent, const char* name, const QString& caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

void VaultPage::makeDetailButtons() {
    const auto make = [this](const char* name, const QString& purpose) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(themedIcon(QStringLiteral("edit-copy"), QStringLiteral("copy")));
        button->setIconSize(QSize(kSmallIconSide, kSmallIconSide));
        button->setToolTip(purpose);
        button->setAccessibleName(purpose);
        return button;
    };
    cmdCopyUserName_ = make("cmdCopyUserName", tr("Copy the user name (Ctrl+B)"));
    cmdCopyPassword_ =
        make("cmdCopyPassword", tr("Copy the password without showing it (Ctrl+C in the list)"));
    // The eye is a button of its own beside the box, in line with the copy buttons.
    txtPasswordReveal_ = makeRevealToggle(txtPassword_);
    cmdRevealPassword_ = new QToolButton(this);
    cmdRevealPassword_->setObjectName(QStringLiteral("cmdRevealPassword"));
    cmdRevealPassword_->setDefaultAction(txtPasswordReveal_);
    cmdRevealPassword_->setIconSize(QSize(kSmallIconSide, kSmallIconSide));
    cmdRevealPassword_->setAccessibleName(txtPasswordReveal_->toolTip());
}

void VaultPage::buildCopyActions() {
    clipboard_ = new SecretClipboard(this);
    connect(clipboard_, &SecretClipboard::secretCleared, this,
            [this] { emit statusMessage(passwordClearedText(), kShortMessageMs); });
    connect(cmdCopyUserName_, &QToolButton::clicked, this, &VaultPage::copyUserName);
    connect(cmdCopyPassword_, &QToolButton::clicked, this, &VaultPage::copyPassword);

    // Ctrl+B anywhere on the tab; Ctrl+C only in the list, where it copies nothing else.
    QAction* copyUserName = makeMenuAction(this, "mnuCopyUserName", tr("Copy &User Name"));
    copyUserName->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    addAction(copyUserName);
    QAction* copyPassword = makeMenuAction(this, "mnuCopyPassword", tr("Copy &Password"));
    copyPassword->setShortcut(QKeySequence::Copy);
    copyPassword->setShortcutContext(Qt::WidgetShortcut);
    lstPasswords_->addAction(copyPassword);
    connect(copyUserName, &QAction::triggered, this, &VaultPage::copyUserName);
    connect(copyPassword, &QAction::triggered, this, &VaultPage::copyPassword);

    mnuRecords_ = new QMenu(this);
    mnuRecords_->setObjectName(QStringLiteral("mnuRecords"));
    mnuRecords_->addAction(copyUserName);
    mnuRecords_->addAction(copyPassword);
    mnuRecords_->addSeparator();
    // Edit and Delete as the panel's buttons do them.
    QAction* edit = makeMenuAction(mnuRecords_, "mnuEditRecord", tr("&Edit Record"));
    QAction* remove = makeMenuAction(mnuRecords_, "mnuDeleteRecord", tr("&Delete Record"));
    mnuRecords_->addActions({edit, remove});
    connect(edit, &QAction::triggered, cmdLoginsEdit_, &QPushButton::click);
    connect(remove, &QAction::triggered, cmdLoginsDelete_, &QPushButton::click);

    lstPasswords_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstPasswords_, &QWidget::customContextMenuRequested, this, &VaultPage::showRecordMenu);
}

void VaultPage::showRecordMenu(const QPoint& at) {
    // The menu works on the selected record (a right click on a line selects it first).
    mnuRecords_->popup(lstPasswords_->viewport()->mapToGlobal(at));
}

std::optional<RecordFields> VaultPage::selectedRecordFields() {
    const std::optional<qint64> counter = selectedCounter();
    if (!counter) {
        emit statusMessage(noRecordSelectedText(), kShortMessageMs);
        return std::nullopt;
    }
    // Read again, by Counter and owner together: only the user's own record is ever copied.
    const Result<std::optional<StoredRecord>> record =
        records_.ShowRecord(services_.state.CurrentAccount, *counter);
    if (!record.ok()) {
        reportRecordUnreadable(services_, record.status());
        return std::nullopt;
    }
    if (!record.value()) {
        reportRecordGone(services_);
        ListRecords(cmbCategories_->currentText());
        return std::nullopt;
    }
    return record.value()->fields;
}

void VaultPage::copyUserName() {
    const std::optional<RecordFields> fields = selectedRecordFields();
    if (!fields) {
        return;
    }
    if (fields->userName.isEmpty()) {
        emit statusMessage(noUserNameText(), kShortMessageMs);
        return;
    }
    clipboard_->copyText(fields->userName);
    emit statusMessage(userNameCopiedText(), kShortMessageMs);
}

void VaultPage::copyPassword() {
    const std::optional<RecordFields> fields = selectedRecordFields();
    if (!fields) {
        return;
    }
    if (fields->password.isEmpty()) {
        emit statusMessage(noPasswordText(), kShortMessageMs);
        return;
    }
    clipboard_->copySecret(fields->password);
    emit statusMessage(passwordCopiedText(clipboard_->clearAfterSeconds()),
                       static_cast<int>(clipboard_->clearAfter().count()));
}

void VaultPage::forgetCopiedPassword() {
    clipboard_->clearSecret();
    maskPassword();
}

void VaultPage::maskPassword() {
    txtPasswordReveal_->setChecked(false);
}

}  // namespace ks
