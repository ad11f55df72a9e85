#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "GuiDriver.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "storage/SettingsFile.h"

using namespace ks;
using test::ScriptedDialogs;

namespace {

const QString kFirstRun = QStringLiteral(
    "It looks like this is your first time using Keystead!\r\rJust enter any UserName and "
    "Password you like into the text boxes and click the 'Log In / Create New User' button to get "
    "started.");
const QString kNameShort = QStringLiteral("The UserName must be more than 3 characters in length");
const QString kPasswordShort =
    QStringLiteral("The Password must be more than 3 characters in length");
const QString kCreate =
    QStringLiteral("That user is not in the database.  Would you like to create a new user?");
const QString kCreated = QStringLiteral("User successfully created.");
const QString kInvalid = QStringLiteral("Invalid user/password combo.  Please try again.");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LoginTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<Program> program;

    void startProgram() {
        program.reset();
        dialogs = std::make_unique<ScriptedDialogs>();
        program = std::make_unique<Program>(*dialogs, env->programOptions());
        program->start();
    }
    QWidget* login() { return test::window(QStringLiteral("frmLogin")); }
    QLineEdit* box(const char* name) {
        return test::control<QLineEdit>(login(), QString::fromLatin1(name));
    }

    // Creates an account by logging in once, then starts the program anew.
    void createAccount(const QString& name, const QString& password) {
        dialogs->answer(true);
        test::logIn(name, password);
        QVERIFY(program->state().LoggedIn);
        startProgram();
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        startProgram();
    }
    void cleanup() {
        QVERIFY2(dialogs->unexpected.isEmpty(),
                 qPrintable(dialogs->unexpected.join(QLatin1Char('\n'))));
        QVERIFY(!dialogs->pendingAnswers());
        program.reset();
        dialogs.reset();
        env.reset();
    }

    void windowAndFirstRun() {
        QWidget* window = login();
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Keystead - Login"));
        QCOMPARE(test::control<QLabel>(window, QStringLiteral("Label1"))->text(),
                 QStringLiteral("User"));
        QCOMPARE(test::control<QLabel>(window, QStringLiteral("Label2"))->text(),
                 QStringLiteral("Password"));
        QCOMPARE(test::control<QPushButton>(window, QStringLiteral("cmdLogin"))->text(),
                 QStringLiteral("Log In / Create New User"));
        QCOMPARE(test::control<QPushButton>(window, QStringLiteral("cmdQuit"))->text(),
                 QStringLiteral("Quit"));
        QCOMPARE(box("txtUserName")->maxLength(), 15);
        QCOMPARE(box("txtPassword")->maxLength(), 15);
        QCOMPARE(box("txtPassword")->echoMode(), QLineEdit::Password);
        // The greeting at every start until a login succeeds.
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Information);
        QCOMPARE(dialogs->shown[0].title, QStringLiteral("Keystead"));
        QCOMPARE(dialogs->shown[0].text, kFirstRun);
        startProgram();
        QCOMPARE(dialogs->texts(), QStringList{kFirstRun});
        QCOMPARE(program->state().CompactPolicy, 1);
    }

    void tooShortNamesAndPasswords() {
        dialogs->clear();
        test::logIn(QStringLiteral("abc"), QStringLiteral("secret"));
        test::logIn(QStringLiteral("  abc "),
                    QString());  // spaces do not count; password unexamined
        test::logIn(QStringLiteral("anna"), QStringLiteral("   abc   "));
        QCOMPARE(dialogs->texts(), QStringList({kNameShort, kNameShort, kPasswordShort}));
        for (const auto& shown : dialogs->shown) {
            QCOMPARE(shown.icon, MessageIcon::Exclamation);
        }
        QVERIFY(!program->state().LoggedIn);
        QVERIFY(login()->isVisible());
    }

    void createOnTheSpotAndRemember() {
        dialogs->clear();
        dialogs->answer(true);
        test::logIn(QStringLiteral("anna"), QStringLiteral("secret"));
        QCOMPARE(dialogs->texts(), QStringList({kCreate, kCreated}));
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Question);
        QCOMPARE(dialogs->shown[1].icon, MessageIcon::Information);
        QVERIFY(program->state().LoggedIn);
        QVERIFY(!login()->isVisible());
        QWidget* main = test::window(QStringLiteral("Form1"));
        QVERIFY(main != nullptr && main->isVisible());
        QCOMPARE(main->windowTitle(), QStringLiteral("Keystead - anna"));
        QCOMPARE(fileBytes(env->dataFolder() + QStringLiteral("Data.dat")),
                 QByteArray("anna\r\n1\r\n"));
        QCOMPARE(program->state().UserNameCipher, QStringLiteral("C12F05C7"));
        // The hidden login window does not keep the password for the session.
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(box("txtUserName")->text(), QStringLiteral("anna"));

        // The next start greets no more, fills the name and waits for the password.
        startProgram();
        QVERIFY(dialogs->shown.isEmpty());
        QCOMPARE(box("txtUserName")->text(), QStringLiteral("anna"));
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(login()->focusWidget(), box("txtPassword"));
    }

    void passwordsOpenOnlyTheirOwnName() {
        createAccount(QStringLiteral("anna"), QStringLiteral("annapass"));
        createAccount(QStringLiteral("bert"), QStringLiteral("bertpass"));
        dialogs->clear();
        test::logIn(QStringLiteral("anna"), QStringLiteral("bertpass"));
        test::logIn(QStringLiteral("bert"), QStringLiteral("annapass"));
        QCOMPARE(dialogs->texts(), QStringList({kInvalid, kInvalid}));
        QCOMPARE(box("txtPassword")->text(), QStringLiteral("annapass"));  // boxes keep their text
        test::logIn(QStringLiteral("bert"), QStringLiteral("bertpass"));
        QVERIFY(program->state().LoggedIn);
        QCOMPARE(dialogs->shown.size(), 2);
    }

    void letterCaseAndSurroundingSpaces() {
        createAccount(QStringLiteral("anna"), QStringLiteral("secret"));
        dialogs->clear();
        // Anna is somebody else: refusing to create her changes nothing.
        dialogs->answer(false);
        test::logIn(QStringLiteral("Anna"), QStringLiteral("secret"));
        QCOMPARE(dialogs->texts(), QStringList{kCreate});
        QVERIFY(!program->state().LoggedIn);
        // Spaces around the name and password do not matter; Data.dat keeps them.
        dialogs->clear();
        test::logIn(QStringLiteral(" anna "), QStringLiteral(" secret"));
        QVERIFY(dialogs->shown.isEmpty());
        QVERIFY(program->state().LoggedIn);
        QCOMPARE(test::window(QStringLiteral("Form1"))->windowTitle(),
                 QStringLiteral("Keystead -  anna "));
        QCOMPARE(readSettings(env->dataFolder()).line1, QStringLiteral(" anna "));
    }

    void deletedDatabaseIsMadeAgainFromTheTemplate() {
        createAccount(QStringLiteral("anna"), QStringLiteral("secret"));
        QVERIFY(QFile::remove(env->databasePath()));
        dialogs->clear();
        dialogs->answer(false);
        test::logIn(QStringLiteral("anna"), QStringLiteral("secret"));
        // Silently recreated, empty: anna is unknown again.
        QCOMPARE(dialogs->texts(), QStringList{kCreate});
        QVERIFY(QFile::exists(env->databasePath()));
        QCOMPARE(fileBytes(env->databasePath()), fileBytes(env->templatePath()));
    }

    void missingTemplateAndDatabaseEndTheProgram() {
        QVERIFY(QFile::remove(env->templatePath()));
        dialogs->clear();
        test::logIn(QStringLiteral("anna"), QStringLiteral("secret"));
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs->shown[0].text,
                 QStringLiteral("A required file has been deleted.  Please reinstall this "
                                "application to continue."));
        QVERIFY(program->ended());
        QCOMPARE(env->endCount, 1);
        QVERIFY(!login()->isVisible());
        QVERIFY(!QFile::exists(env->databasePath()));
    }

    void damagedDatabaseIsReportedNotReplaced() {
        QVERIFY(QDir().mkpath(env->dataFolder()));
        QFile file(env->databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(20000, 'x'));
        file.close();
        dialogs->clear();
        test::logIn(QStringLiteral("anna"), QStringLiteral("secret"));
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Critical);
        QVERIFY(dialogs->shown[0].text.startsWith(QStringLiteral("You could not be logged in.")));
        QCOMPARE(fileBytes(env->databasePath()), QByteArray(20000, 'x'));
        QVERIFY(!program->state().LoggedIn);
        QVERIFY(!program->ended());
    }

    void quitAndTheCloseBoxEndTheProgram() {
        test::press(login(), QStringLiteral("cmdQuit"));
        QVERIFY(program->ended());
        QVERIFY(program->state().Quitting);
        startProgram();
        const QString temp = program->state().TempFolder;
        QVERIFY(QFileInfo(temp).isDir());
        login()->close();
        QVERIFY(program->ended());
        QCOMPARE(env->endCount, 2);
        QVERIFY(!QFileInfo::exists(temp));  // the private temporary folder goes with it
    }
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
