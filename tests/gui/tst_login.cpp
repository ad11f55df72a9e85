#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::ScriptedDialogs;

namespace {

const QString kFirstRun =
    u"It looks like this is your first time using Keystead!\r\rJust enter any UserName and "
    "Password you like into the text boxes and click the 'Log In / Create New User' button to get "
    "started."_s;
const QString kNameShort = u"The UserName must be more than 3 characters in length"_s;
const QString kPasswordShort = u"The Password must be more than 3 characters in length"_s;
const QString kCreate =
    u"That user is not in the database.  Would you like to create a new user?"_s;
const QString kCreated = u"User successfully created."_s;
const QString kInvalid = u"Invalid user/password combo.  Please try again."_s;

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
    QWidget* login() { return test::window(u"frmLogin"_s); }
    QLineEdit* box(const char* name) {
        return test::control<QLineEdit>(login(), QString::fromLatin1(name));
    }

    // Logs in through the window; the texts of the messages shown meanwhile.
    QStringList loggingIn(const QString& name, const QString& password) {
        dialogs->clear();
        test::logIn(name, password);
        return dialogs->texts();
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
        QVERIFY2(dialogs->unexpected.isEmpty(), qPrintable(dialogs->unexpected.join(u'\n')));
        QVERIFY(!dialogs->pendingAnswers());
        program.reset();
        dialogs.reset();
        env.reset();
    }

    void windowFirstRunTooShortNamesAndCloseBox() {
        QWidget* window = login();
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(window->windowTitle(), u"Keystead - Login"_s);
        // The greeting names the button.
        QCOMPARE(test::control<QPushButton>(window, u"cmdLogin"_s)->text(),
                 u"Log In / Create New User"_s);
        QCOMPARE(box("txtUserName")->maxLength(), 15);
        // Long enough for a protected account's pass phrase.
        QCOMPARE(box("txtPassword")->maxLength(), 128);
        QCOMPARE(box("txtPassword")->echoMode(), QLineEdit::Password);
        // The greeting at every start until a login succeeds.
        QCOMPARE(dialogs->texts(), QStringList{kFirstRun});
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Information);
        QCOMPARE(dialogs->shown[0].title, u"Keystead"_s);
        startProgram();
        QCOMPARE(dialogs->texts(), QStringList{kFirstRun});
        QCOMPARE(program->state().CompactPolicy, 1);

        // Names and passwords of 3 characters or fewer are refused.
        QCOMPARE(loggingIn(u"abc"_s, u"secret"_s), QStringList{kNameShort});
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Exclamation);
        // Spaces do not count; the password is not examined.
        QCOMPARE(loggingIn(u"  abc "_s, QString()), QStringList{kNameShort});
        QCOMPARE(loggingIn(u"anna"_s, u"   abc   "_s), QStringList{kPasswordShort});
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(!program->state().LoggedIn);
        QVERIFY(login()->isVisible());
        // The close box is Quit, as the button is (pressed in the main window's tests).
        login()->close();
        QVERIFY(program->ended());
        QVERIFY(program->state().Quitting);
        QCOMPARE(env->endCount, 1);
    }

    void createOnTheSpotThenOnlyTheRightPasswordOpens() {
        dialogs->answer(true);
        QCOMPARE(loggingIn(u"anna"_s, u"secret"_s), QStringList({kCreate, kCreated}));
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Question);
        QCOMPARE(dialogs->shown[1].icon, MessageIcon::Information);
        QVERIFY(program->state().LoggedIn);
        QVERIFY(!login()->isVisible());
        QWidget* main = test::window(u"Form1"_s);
        QVERIFY(main != nullptr && main->isVisible());
        QCOMPARE(main->windowTitle(), u"Keystead - anna"_s);
        QCOMPARE(test::readBytes(env->dataFolder() + u"Data.dat"_s), QByteArray("anna\r\n1\r\n"));
        // The hidden login window does not keep the password for the session.
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(box("txtUserName")->text(), u"anna"_s);

        // The next start greets no more, fills the name and waits for the password.
        startProgram();
        QVERIFY(dialogs->shown.isEmpty());
        QCOMPARE(box("txtUserName")->text(), u"anna"_s);
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(login()->focusWidget(), box("txtPassword"));

        createAccount(u"bert"_s, u"bertpass"_s);
        QCOMPARE(loggingIn(u"anna"_s, u"bertpass"_s), QStringList{kInvalid});
        QCOMPARE(loggingIn(u"bert"_s, u"secret"_s), QStringList{kInvalid});
        QCOMPARE(box("txtPassword")->text(), u"secret"_s);  // boxes keep their text
        // Anna is somebody else: refusing to create her changes nothing.
        dialogs->answer(false);
        QCOMPARE(loggingIn(u"Anna"_s, u"secret"_s), QStringList{kCreate});
        QVERIFY(!program->state().LoggedIn);
        // Spaces around the name and password do not matter; Data.dat keeps them.
        QCOMPARE(loggingIn(u" anna "_s, u" secret"_s), QStringList());
        QVERIFY(program->state().LoggedIn);
        QCOMPARE(test::window(u"Form1"_s)->windowTitle(), u"Keystead -  anna "_s);
        QCOMPARE(readSettings(env->dataFolder()).line1, u" anna "_s);
    }

    // A damaged database is reported, not replaced; a deleted one is made again from the
    // template, silently; with the template gone too, the program ends.
    void databaseFaultsAtTheLogin() {
        test::writeFile(env->databasePath(), QByteArray(20000, 'x'));
        QCOMPARE(loggingIn(u"anna"_s, u"secret"_s).size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Critical);
        QVERIFY(dialogs->shown[0].text.startsWith(u"You could not be logged in."_s));
        QCOMPARE(test::readBytes(env->databasePath()), QByteArray(20000, 'x'));
        QVERIFY(!program->state().LoggedIn);
        QVERIFY(!program->ended());

        QVERIFY(QFile::remove(env->databasePath()));
        dialogs->answer(false);
        QCOMPARE(loggingIn(u"anna"_s, u"secret"_s), QStringList{kCreate});
        QCOMPARE(test::readBytes(env->databasePath()), test::readBytes(env->templatePath()));

        QVERIFY(QFile::remove(env->databasePath()) && QFile::remove(env->templatePath()));
        QCOMPARE(loggingIn(u"anna"_s, u"secret"_s),
                 QStringList{u"A required file has been deleted.  Please reinstall this "
                             "application to continue."_s});
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(program->ended());
        QCOMPARE(env->endCount, 1);
        QVERIFY(!login()->isVisible());
        QVERIFY(!QFile::exists(env->databasePath()));
    }
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
