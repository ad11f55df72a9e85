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

    void windowAndFirstRun() {
        QWidget* window = login();
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(window->windowTitle(), u"Keystead - Login"_s);
        QCOMPARE(test::control<QLabel>(window, u"Label1"_s)->text(), u"User"_s);
        QCOMPARE(test::control<QLabel>(window, u"Label2"_s)->text(), u"Password"_s);
        QCOMPARE(test::control<QPushButton>(window, u"cmdLogin"_s)->text(),
                 u"Log In / Create New User"_s);
        QCOMPARE(test::control<QPushButton>(window, u"cmdQuit"_s)->text(), u"Quit"_s);
        QCOMPARE(box("txtUserName")->maxLength(), 15);
        QCOMPARE(box("txtPassword")->maxLength(), 15);
        QCOMPARE(box("txtPassword")->echoMode(), QLineEdit::Password);
        // The greeting at every start until a login succeeds.
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Information);
        QCOMPARE(dialogs->shown[0].title, u"Keystead"_s);
        QCOMPARE(dialogs->shown[0].text, kFirstRun);
        startProgram();
        QCOMPARE(dialogs->texts(), QStringList{kFirstRun});
        QCOMPARE(program->state().CompactPolicy, 1);
    }

    void tooShortNamesAndPasswords() {
        dialogs->clear();
        test::logIn(u"abc"_s, u"secret"_s);
        test::logIn(u"  abc "_s,
                    QString());  // spaces do not count; password unexamined
        test::logIn(u"anna"_s, u"   abc   "_s);
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
        test::logIn(u"anna"_s, u"secret"_s);
        QCOMPARE(dialogs->texts(), QStringList({kCreate, kCreated}));
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Question);
        QCOMPARE(dialogs->shown[1].icon, MessageIcon::Information);
        QVERIFY(program->state().LoggedIn);
        QVERIFY(!login()->isVisible());
        QWidget* main = test::window(u"Form1"_s);
        QVERIFY(main != nullptr && main->isVisible());
        QCOMPARE(main->windowTitle(), u"Keystead - anna"_s);
        QCOMPARE(test::readBytes(env->dataFolder() + u"Data.dat"_s), QByteArray("anna\r\n1\r\n"));
        QCOMPARE(program->state().UserNameCipher, u"C12F05C7"_s);
        // The hidden login window does not keep the password for the session.
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(box("txtUserName")->text(), u"anna"_s);

        // The next start greets no more, fills the name and waits for the password.
        startProgram();
        QVERIFY(dialogs->shown.isEmpty());
        QCOMPARE(box("txtUserName")->text(), u"anna"_s);
        QVERIFY(box("txtPassword")->text().isEmpty());
        QCOMPARE(login()->focusWidget(), box("txtPassword"));
    }

    void passwordsOpenOnlyTheirOwnName() {
        createAccount(u"anna"_s, u"annapass"_s);
        createAccount(u"bert"_s, u"bertpass"_s);
        dialogs->clear();
        test::logIn(u"anna"_s, u"bertpass"_s);
        test::logIn(u"bert"_s, u"annapass"_s);
        QCOMPARE(dialogs->texts(), QStringList({kInvalid, kInvalid}));
        QCOMPARE(box("txtPassword")->text(), u"annapass"_s);  // boxes keep their text
        test::logIn(u"bert"_s, u"bertpass"_s);
        QVERIFY(program->state().LoggedIn);
        QCOMPARE(dialogs->shown.size(), 2);
    }

    void letterCaseAndSurroundingSpaces() {
        createAccount(u"anna"_s, u"secret"_s);
        dialogs->clear();
        // Anna is somebody else: refusing to create her changes nothing.
        dialogs->answer(false);
        test::logIn(u"Anna"_s, u"secret"_s);
        QCOMPARE(dialogs->texts(), QStringList{kCreate});
        QVERIFY(!program->state().LoggedIn);
        // Spaces around the name and password do not matter; Data.dat keeps them.
        dialogs->clear();
        test::logIn(u" anna "_s, u" secret"_s);
        QVERIFY(dialogs->shown.isEmpty());
        QVERIFY(program->state().LoggedIn);
        QCOMPARE(test::window(u"Form1"_s)->windowTitle(), u"Keystead -  anna "_s);
        QCOMPARE(readSettings(env->dataFolder()).line1, u" anna "_s);
    }

    void deletedDatabaseIsMadeAgainFromTheTemplate() {
        createAccount(u"anna"_s, u"secret"_s);
        QVERIFY(QFile::remove(env->databasePath()));
        dialogs->clear();
        dialogs->answer(false);
        test::logIn(u"anna"_s, u"secret"_s);
        // Silently recreated, empty: anna is unknown again.
        QCOMPARE(dialogs->texts(), QStringList{kCreate});
        QVERIFY(QFile::exists(env->databasePath()));
        QCOMPARE(test::readBytes(env->databasePath()), test::readBytes(env->templatePath()));
    }

    void missingTemplateAndDatabaseEndTheProgram() {
        QVERIFY(QFile::remove(env->templatePath()));
        dialogs->clear();
        test::logIn(u"anna"_s, u"secret"_s);
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs->shown[0].text,
                 u"A required file has been deleted.  Please reinstall this "
                 "application to continue."_s);
        QVERIFY(program->ended());
        QCOMPARE(env->endCount, 1);
        QVERIFY(!login()->isVisible());
        QVERIFY(!QFile::exists(env->databasePath()));
    }

    void damagedDatabaseIsReportedNotReplaced() {
        test::writeFile(env->databasePath(), QByteArray(20000, 'x'));
        dialogs->clear();
        test::logIn(u"anna"_s, u"secret"_s);
        QCOMPARE(dialogs->shown.size(), 1);
        QCOMPARE(dialogs->shown[0].icon, MessageIcon::Critical);
        QVERIFY(dialogs->shown[0].text.startsWith(u"You could not be logged in."_s));
        QCOMPARE(test::readBytes(env->databasePath()), QByteArray(20000, 'x'));
        QVERIFY(!program->state().LoggedIn);
        QVERIFY(!program->ended());
    }

    void quitAndTheCloseBoxEndTheProgram() {
        test::press(login(), u"cmdQuit"_s);
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
