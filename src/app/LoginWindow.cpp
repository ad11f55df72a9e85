#include "app/LoginWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Accounts.h"
#include "app/DatabasePreparation.h"
#include "app/LoginCheck.h"
#include "app/Program.h"
#include "core/FailureReport.h"
#include "crypto/FieldCipher.h"
#include "storage/SettingsFile.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

LoginWindow::LoginWindow(Program& program) : program_(program) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(program.state().AppTitle + QStringLiteral(" - Login"));
    setWindowIcon(appIcon());

    txtUserName_ = new QLineEdit(this);
    txtUserName_->setObjectName(QStringLiteral("txtUserName"));
    txtUserName_->setMaxLength(kLoginMaxLength);
    auto* label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("User"), txtUserName_);
    txtPassword_ = makePasswordBox(this, QStringLiteral("txtPassword"));
    // Long enough for a protected account's pass phrase; an account in the shared format takes
    // the first kLoginMaxLength characters, as the box once kept.
    txtPassword_->setMaxLength(kPassPhraseLongest);
    auto* label2 = makeLabel(this, QStringLiteral("Label2"), passwordCaption(), txtPassword_);

    cmdLogin_ =
        makeButton(this, QStringLiteral("cmdLogin"), QStringLiteral("Log In / Create New User"));
    cmdLogin_->setDefault(true);
    auto* cmdQuit = makeButton(this, QStringLiteral("cmdQuit"), QStringLiteral("Quit"));

    auto* grid = new QGridLayout;
    grid->addWidget(label1, 0, 0);
    grid->addWidget(txtUserName_, 0, 1);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(txtPassword_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdLogin_);
    buttons->addWidget(cmdQuit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));

    connect(cmdLogin_, &QPushButton::clicked, this, &LoginWindow::cmdLogin_Click);
    connect(cmdQuit, &QPushButton::clicked, this, [this] { program_.QuitApplication(); });
    // Enter in either box logs in, as the default button of a dialog would.
    connect(txtUserName_, &QLineEdit::returnPressed, cmdLogin_, &QPushButton::click);
    connect(txtPassword_, &QLineEdit::returnPressed, cmdLogin_, &QPushButton::click);
}

void LoginWindow::activate() {
    ProgramState& state = program_.state();
    const SettingsFile settings = readSettings(state.DataFolder);
    if (settings.exists) {
        if (!settings.line1.trimmed().isEmpty()) {
            txtUserName_->setText(settings.line1);
            txtPassword_->setText(QString());
            txtPassword_->setFocus();
        } else {
            txtUserName_->clear();
            txtPassword_->setText(QString());
        }
        state.CompactPolicy = policyFromLine(settings.line2);
        state.Lock = lockSettingsFrom(settings);
        state.History = historySettingsFrom(settings);
        state.Sync = syncSettingsFrom(settings);
    } else {
        program_.dialogs().message(
            MessageIcon::Information, state.AppTitle,
            QStringLiteral("It looks like this is your first time using Keystead!\r\rJust enter "
                           "any UserName and Password you like into the text boxes and click "
                           "the 'Log In / Create New User' button to get started."));
        txtUserName_->clear();
        txtPassword_->setText(QString());
        state.CompactPolicy = 1;
        state.Lock = LockSettings();
        state.History = HistorySettings();
        state.Sync = SyncSettings();
    }
    state.LoggedIn = false;
}

bool LoginWindow::prepareDatabase() {
    ProgramState& state = program_.state();
    const DatabasePreparation prepared = ks::prepareDatabase(state.DataFolder, state.AppFolder);
    switch (prepared.outcome) {
        case DatabasePreparation::Outcome::Ready:
            state.DatabasePath = prepared.databasePath;
            program_.useDatabase(state.DatabasePath);
            return true;
        case DatabasePreparation::Outcome::TemplateMissing:
            program_.dialogs().message(MessageIcon::Exclamation, state.AppTitle,
                                       QStringLiteral("A required file has been deleted.  Please "
                                                      "reinstall this application to continue."));
            program_.QuitApplication();
            return false;
        case DatabasePreparation::Outcome::Untrusted:
            program_.dialogs().message(
                MessageIcon::Exclamation, state.AppTitle,
                untrustedDataFolderMessage(state.AppTitle, state.DataFolder, prepared.error));
            return false;
        case DatabasePreparation::Outcome::Failed:
            break;
    }
    program_.dialogs().message(MessageIcon::Critical, state.AppTitle,
                               QStringLiteral("The database could not be created in %1.\r\r%2")
                                   .arg(state.DataFolder, prepared.error));
    return false;
}

void LoginWindow::reportFailure(const QString& what, const DbStatus& status) {
    reportDatabaseFailure(program_.dialogs(), program_.state().AppTitle, what, status);
}

bool LoginWindow::readCredentials(QString& name, QString& password) {
    ProgramState& state = program_.state();
    name = txtUserName_->text().trimmed();
    password = txtPassword_->text();
    if (const LoginRefusal refusal = checkLoginLengths(name, password);
        refusal != LoginRefusal::None) {
        program_.dialogs().message(MessageIcon::Exclamation, state.AppTitle,
                                   loginRefusalMessage(refusal));
        return false;
    }
    return true;
}

void LoginWindow::cmdLogin_Click() {
    if (!prepareDatabase()) {
        return;
    }
    ProgramState& state = program_.state();
    Dialogs& dialogs = program_.dialogs();
    const QString couldNotLogIn = QStringLiteral("You could not be logged in.");
    for (;;) {
        QString name;
        QString password;
        if (!readCredentials(name, password)) {
            return;
        }
        DatabaseAccess& database = program_.database();
        // A protected account's key takes a moment to derive.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        Result<LoginAttempt> attempt = attemptLogin(database, name, password);
        QGuiApplication::restoreOverrideCursor();
        if (!attempt.ok()) {
            reportFailure(couldNotLogIn, attempt.status());
            return;
        }
        if (attempt->match == LoginMatch::WrongPassword) {
            dialogs.message(MessageIcon::Exclamation, state.AppTitle, invalidLoginMessage());
            return;
        }
        if (attempt->match == LoginMatch::Matches) {
            state.UserNameCipher = attempt->account.owner;
            state.PasswordCipher = attempt->passwordCipher;
            state.CurrentAccount = std::move(attempt->account);
            state.LoginUserName = txtUserName_->text();
            // The password is not kept in the hidden window for the whole session.
            txtPassword_->setText(QString());
            program_.loginSucceeded();
            return;
        }
        if (!dialogs.askYesNo(state.AppTitle,
                              QStringLiteral("That user is not in the database.  Would you like "
                                             "to create a new user?"))) {
            return;
        }
        // A new account is in the shared format: its password is what the box once kept.
        const QString kept = password.left(kLoginMaxLength);
        if (const LoginRefusal refusal = checkLoginLengths(name, kept);
            refusal != LoginRefusal::None) {
            dialogs.message(MessageIcon::Exclamation, state.AppTitle, loginRefusalMessage(refusal));
            return;
        }
        if (DbStatus created = CreateUser(database, name, kept.trimmed()); !created.ok()) {
            reportFailure(QStringLiteral("The user could not be created."), created);
            return;
        }
        dialogs.message(MessageIcon::Information, state.AppTitle,
                        QStringLiteral("User successfully created."));
    }
}

void LoginWindow::closeEvent(QCloseEvent* event) {
    // Closing the window is the way out of the program; the shutdown path then closes it.
    if (!program_.state().Quitting) {
        program_.QuitApplication();
    }
    event->setAccepted(program_.state().Quitting);
}

}  // namespace ks
