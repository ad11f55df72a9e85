#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "GuiDriver.h"
#include "Session.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"

using namespace ks;
using test::ScriptedDialogs;

namespace {

const QStringList kPanels = {QStringLiteral("pctLogins"), QStringLiteral("pctJournal"),
                             QStringLiteral("pctImages"), QStringLiteral("pctFiles"),
                             QStringLiteral("pctOptions")};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Session> session;

    QMainWindow* main() { return session->mainWindow(); }
    QTabWidget* tabs() { return test::control<QTabWidget>(main(), QStringLiteral("SSTab1")); }
    QAction* action(const char* name) {
        return main()->findChild<QAction*>(QString::fromLatin1(name));
    }
    QStringList visiblePanels() {
        QStringList visible;
        for (const QString& name : kPanels) {
            if (test::control<QWidget>(main(), name)->isVisible()) {
                visible.append(name);
            }
        }
        return visible;
    }

    // Deletes a large picture through the storage layer, as a deletion in a tab would.
    void deleteSomething() {
        Result<Connection> connection = session->program->database().open();
        QVERIFY(connection.ok());
        Statement insert = connection->prepare(QStringLiteral(
            "INSERT INTO Images (ImageName, Image, UserName) VALUES ('big.bmp', ?1, 'X')"));
        insert.bindBlob(1, QByteArray(2 << 20, 'z'));
        QVERIFY(insert.run().ok());
        QVERIFY(connection->exec(QStringLiteral("DELETE FROM Images")).ok());
        session->program->state().DataDeleted = true;
    }
    QByteArray databaseBytes() {
        QFile file(session->env.databasePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool leftOver() {
        return QFile::exists(session->env.dataFolder() + QStringLiteral("OutputDB.mdb"));
    }
    // Quits through the menu while `answer` handles the prompt; true when the prompt came up.
    bool quitAnswering(const std::function<void(QWidget*)>& answer) {
        auto ran = test::whenModal(QStringLiteral("Form7"), answer);
        action("mnuQuit")->trigger();
        return *ran && session->program->ended();
    }
    void setPolicy(int policy) { session->program->state().CompactPolicy = policy; }

private Q_SLOTS:
    void init() {
        session = std::make_unique<test::Session>();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
    }
    void cleanup() {
        QVERIFY2(session->dialogs.unexpected.isEmpty(),
                 qPrintable(session->dialogs.unexpected.join(QLatin1Char('\n'))));
        QVERIFY(!session->dialogs.pendingAnswers());
        session.reset();
    }

    void frameTabsAndPanels() {
        QVERIFY(main()->isVisible());
        QCOMPARE(main()->windowTitle(), QStringLiteral("Keystead - anna"));
        QVERIFY(!session->program->state().FirstActivation);
        QVERIFY(test::control<QLabel>(main(), QStringLiteral("imgMainBackDrop")) != nullptr);
        const QStringList captions = {QStringLiteral("Password Vault"), QStringLiteral("Journal"),
                                      QStringLiteral("Images"), QStringLiteral("Files"),
                                      QStringLiteral("Options")};
        QCOMPARE(tabs()->count(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(tabs()->tabText(i), captions[i]);
        }
        QCOMPARE(visiblePanels(), QStringList{QStringLiteral("pctLogins")});
        auto* oldPassword = test::control<QLineEdit>(main(), QStringLiteral("txtOldPassword"));
        for (int i : {4, 2, 1, 3, 0, 4}) {
            oldPassword->setText(QStringLiteral("typed"));
            tabs()->setCurrentIndex(i);
            QCOMPARE(visiblePanels(), QStringList{kPanels[i]});
            QVERIFY(oldPassword->text().isEmpty());
            QVERIFY(test::control<QLineEdit>(main(), QStringLiteral("txtNewPassword"))
                        ->text()
                        .isEmpty());
        }
        // Every picture button shows a picture and tells what it does, each of a panel its own
        // purpose (a purpose copied from a neighbour, or none, counts once).
        for (const QString& panel : kPanels) {
            const auto buttons =
                test::control<QWidget>(main(), panel)->findChildren<QPushButton*>();
            QSet<QString> purposes;
            for (auto* button : buttons) {
                QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
                purposes.insert(button->toolTip());
            }
            QCOMPARE(purposes.size(), buttons.size());
        }
        for (const char* name : {"cmdLoginsAbout", "cmdJournalQuit", "cmdIMGAbout", "cmdFileQuit",
                                 "cmdOptionsAbout"}) {
            QVERIFY(test::control<QPushButton>(main(), QString::fromLatin1(name)) != nullptr);
        }
    }

    void menusCarryEveryItem() {
        const QList<QPair<QString, QStringList>> expected = {
            {QStringLiteral("&Password Vault"),
             {QStringLiteral("&New Entry"), QStringLiteral("&Edit Entry"),
              QStringLiteral("&Delete Entry")}},
            {QStringLiteral("&Journal"), {QStringLiteral("&Save")}},
            {QStringLiteral("&Images"),
             {QStringLiteral("&Check In"), QStringLiteral("&View Image"),
              QStringLiteral("Check &Out"), QStringLiteral("&Delete")}},
            {QStringLiteral("&Files"),
             {QStringLiteral("&Check In"), QStringLiteral("&Launch"), QStringLiteral("Check &Out"),
              QStringLiteral("&Delete")}},
            {QStringLiteral("&Programme"),
             {QStringLiteral("&Log Out"), QStringLiteral("&Compact Database"),
              QStringLiteral("&Quit"), QStringLiteral("&About"), QStringLiteral("&Help!")}},
        };
        const QList<QAction*> menus = main()->menuBar()->actions();
        QCOMPARE(menus.size(), expected.size());
        for (int i = 0; i < menus.size(); ++i) {
            QCOMPARE(menus[i]->text(), expected[i].first);
            QStringList items;
            for (QAction* item : menus[i]->menu()->actions()) {
                if (!item->isSeparator()) {
                    items.append(item->text());
                }
            }
            QCOMPARE(items, expected[i].second);
        }
    }

    void menuItemsOfAnotherTabSwitchTabFirst() {
        // Deleting with nothing selected: the message comes over the Password Vault tab.
        tabs()->setCurrentIndex(4);
        int tabAtMessage = -1;
        session->dialogs.onShown = [&](const ScriptedDialogs::Shown&) {
            tabAtMessage = tabs()->currentIndex();
        };
        action("mnuDeleteEntry")->trigger();
        session->dialogs.onShown = nullptr;
        QCOMPARE(tabAtMessage, 0);
        QCOMPARE(session->dialogs.texts(),
                 QStringList{QStringLiteral("You must select a record to delete.")});
        // A new entry from the Options tab opens the editor with the main window hidden.
        tabs()->setCurrentIndex(4);
        action("mnuNewEntry")->trigger();
        QCOMPARE(tabs()->currentIndex(), 0);
        QWidget* editor = test::window(QStringLiteral("Form2"));
        QVERIFY(editor != nullptr && editor->isVisible());
        QVERIFY(!main()->isVisible());
        test::press(editor, QStringLiteral("cmdCancel"));
        QVERIFY(main()->isVisible());
        // The journal's save from another tab.
        tabs()->setCurrentIndex(2);
        session->dialogs.clear();
        session->dialogs.answer(false);  // an empty entry is too short to encrypt: not saved
        action("mnuSave")->trigger();
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(session->dialogs.shown.size(), 1);
    }

    void logOutAndInAsSomeoneElse() {
        // anna writes a record and a journal entry, then " Bert" logs in on the same day.
        QVERIFY(test::press(main(), QStringLiteral("cmdLoginsNew")));
        QWidget* editor = test::window(QStringLiteral("Form2"));
        test::control<QLineEdit>(editor, QStringLiteral("txtShortName"))
            ->setText(QStringLiteral("Bank"));
        QVERIFY(test::press(editor, QStringLiteral("cmdSaveClose")));
        auto* journal = test::control<QPlainTextEdit>(main(), QStringLiteral("txtJournal"));
        journal->setPlainText(QStringLiteral("anna's own day"));
        QVERIFY(test::press(main(), QStringLiteral("cmdJournalSave")));
        QCOMPARE(
            test::control<QListView>(main(), QStringLiteral("lstPasswords"))->model()->rowCount(),
            1);
        session->logOut();
        QVERIFY(!main()->isVisible());
        QWidget* login = test::window(QStringLiteral("frmLogin"));
        QVERIFY(login->isVisible() && !session->program->state().LoggedIn);
        QCOMPARE(test::control<QLineEdit>(login, QStringLiteral("txtUserName"))->text(),
                 QStringLiteral("anna"));
        session->logIn(QStringLiteral(" Bert"), QStringLiteral("bertpass"));
        QCOMPARE(main()->windowTitle(), QStringLiteral("Keystead -  Bert"));
        QCOMPARE(readSettings(session->env.dataFolder()).line1, QStringLiteral(" Bert"));
        QCOMPARE(
            test::control<QListView>(main(), QStringLiteral("lstPasswords"))->model()->rowCount(),
            0);
        QVERIFY(journal->toPlainText().isEmpty());
    }

    void aboutAndHelp() {
        QStringList seen;
        auto ran = test::whenModal(QStringLiteral("Form3"), [&](QWidget* about) {
            seen << about->windowTitle()
                 << test::control<QLabel>(about, QStringLiteral("Label1"))->text()
                 << test::control<QLabel>(about, QStringLiteral("Label3"))->text();
            QVERIFY(test::control<QLabel>(about, QStringLiteral("Label4"))
                        ->text()
                        .startsWith(QStringLiteral(
                            "Keystead is a full featured database personal information manager.")));
            test::press(about, QStringLiteral("Command1"));
        });
        tabs()->setCurrentIndex(2);
        test::press(main(), QStringLiteral("cmdIMGAbout"));
        QVERIFY(*ran);
        QCOMPARE(seen, QStringList({QStringLiteral("Keystead"), QStringLiteral("Keystead"),
                                    QStringLiteral("Version 1.0")}));
        QVERIFY(!test::window(QStringLiteral("Form3"))->isVisible());
        ran = test::whenModal(QStringLiteral("Form3"), [](QWidget* about) { about->close(); });
        action("mnuAbout")->trigger();
        QVERIFY(*ran);
        QVERIFY(!test::window(QStringLiteral("Form3"))->isVisible());

        action("mnuHelp")->trigger();
        QCOMPARE(session->env.openedUrls.size(), 1);
        const QString page = session->env.openedUrls[0].toLocalFile();
        QVERIFY(page.startsWith(session->env.appFolder()));
        QVERIFY(QFileInfo(page).isFile());
        QVERIFY(session->dialogs.shown.isEmpty());
        // Without a program to show it, the user is told where the page is.
        session->env.desktopOpensUrls = false;
        action("mnuHelp")->trigger();
        QCOMPARE(session->dialogs.texts(),
                 QStringList{QStringLiteral("The help page could not be opened: the desktop has "
                                            "no program to show it.\r\rThe page is ") +
                             QDir::toNativeSeparators(page)});
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Exclamation);
    }

    // At its smallest the window still shows every caption whole, on every tab.
    void smallestWindowCutsNoCaption() {
        main()->resize(1, 1);
        QVERIFY(main()->width() > 1);
        for (int tab = 0; tab < tabs()->count(); ++tab) {
            tabs()->setCurrentIndex(tab);
            tabs()->currentWidget()->layout()->activate();
            for (const auto* button : tabs()->currentWidget()->findChildren<QAbstractButton*>()) {
                if (button->isVisible()) {
                    QVERIFY2(button->width() >= button->sizeHint().width(),
                             qPrintable(button->objectName()));
                }
            }
        }
    }

    void closeBoxIsQuit() {
        const QString temp = session->program->state().TempFolder;
        main()->close();
        QVERIFY(session->program->ended());
        QVERIFY(!main()->isVisible());
        QVERIFY(!test::window(QStringLiteral("frmLogin"))->isVisible());
        QVERIFY(!QFileInfo::exists(temp));
        // A Quit button and the menu item take the same path.
        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        test::press(main(), QStringLiteral("cmdOptionsQuit"));
        QVERIFY(session->program->ended());
        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        action("mnuQuit")->trigger();
        QCOMPARE(session->env.endCount, 3);
    }

    void quitBeforeLoginAsksNothing() {
        session->start();
        const QByteArray before = [&] {
            QFile f(session->env.databasePath());
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        test::press(test::window(QStringLiteral("frmLogin")), QStringLiteral("cmdQuit"));
        QVERIFY(session->program->ended());
        QVERIFY(session->dialogs.shown.isEmpty());
        QFile after(session->env.databasePath());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void onExitOptionIsSaved() {
        QVERIFY(
            test::control<QRadioButton>(main(), QStringLiteral("optAskToCompress"))->isChecked());
        tabs()->setCurrentIndex(4);
        test::control<QRadioButton>(main(), QStringLiteral("optNeverCompress"))->setChecked(true);
        test::press(main(), QStringLiteral("Command6"));
        QCOMPARE(session->program->state().CompactPolicy, 0);
        QCOMPARE(readSettings(session->env.dataFolder()).line1, QStringLiteral("anna"));
        QCOMPARE(policyFromLine(readSettings(session->env.dataFolder()).line2), 0);
        QVERIFY(session->dialogs.shown.isEmpty());  // no message confirms the save
        // Without a settings file the saved name line is empty.
        QVERIFY(QFile::remove(session->env.dataFolder() + QStringLiteral("Data.dat")));
        test::control<QRadioButton>(main(), QStringLiteral("optAlwaysCompress"))->setChecked(true);
        test::press(main(), QStringLiteral("Command6"));
        QFile file(session->env.dataFolder() + QStringLiteral("Data.dat"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\r\n2\r\n"));
        // The next start selects the saved option.
        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        QVERIFY(
            test::control<QRadioButton>(main(), QStringLiteral("optAlwaysCompress"))->isChecked());
    }

    void promptAnsweredNoThenYes() {
        deleteSomething();
        const QByteArray before = databaseBytes();
        bool mainHidden = false;
        bool yesFocused = false;
        QString caption;
        QVERIFY(quitAnswering([&](QWidget* prompt) {
            mainHidden = !main()->isVisible();
            yesFocused =
                prompt->focusWidget() == test::control<QWidget>(prompt, QStringLiteral("cmdYes"));
            caption = prompt->windowTitle();
            test::press(prompt, QStringLiteral("cmdNo"));
        }));
        QVERIFY(mainHidden);
        QVERIFY(yesFocused);
        QCOMPARE(caption, QStringLiteral("Keystead - Compact Database"));
        QCOMPARE(databaseBytes(), before);

        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        deleteSomething();
        const qint64 size = QFileInfo(session->env.databasePath()).size();
        QVERIFY(
            quitAnswering([](QWidget* prompt) { test::press(prompt, QStringLiteral("cmdYes")); }));
        QVERIFY(QFileInfo(session->env.databasePath()).size() < size - (1 << 20));
        QVERIFY(!leftOver());
        // The compacted database opens with the same key and still knows anna.
        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        QVERIFY(session->dialogs.shown.isEmpty());
    }

    void promptPolicyTakesEffectAtTheNextLogin() {
        deleteSomething();
        int policyMeanwhile = -1;
        QVERIFY(quitAnswering([&](QWidget* prompt) {
            test::control<QRadioButton>(prompt, QStringLiteral("optNever"))->setChecked(true);
            test::press(prompt, QStringLiteral("cmdYes"));
            policyMeanwhile = session->program->state().CompactPolicy;
        }));
        QCOMPARE(policyMeanwhile, 1);
        QCOMPARE(policyFromLine(readSettings(session->env.dataFolder()).line2), 0);
        QVERIFY(!leftOver());
        session->start();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        QVERIFY(
            test::control<QRadioButton>(main(), QStringLiteral("optNeverCompress"))->isChecked());
        // Never: deleted data is neither asked about nor compacted.
        deleteSomething();
        const QByteArray before = databaseBytes();
        action("mnuQuit")->trigger();
        QVERIFY(session->program->ended());
        QCOMPARE(databaseBytes(), before);
    }

    void closingThePromptIsNo() {
        deleteSomething();
        const QByteArray before = databaseBytes();
        QVERIFY(quitAnswering([](QWidget* prompt) { prompt->close(); }));
        QCOMPARE(databaseBytes(), before);
        QCOMPARE(policyFromLine(readSettings(session->env.dataFolder()).line2), 1);
    }

    void alwaysPolicyCompactsAtLogoutWithoutAsking() {
        setPolicy(2);
        deleteSomething();
        const QByteArray before = databaseBytes();
        session->logOut();
        QVERIFY(databaseBytes() != before);
        QVERIFY(!session->program->state().DataDeleted);
        QVERIFY(!leftOver());
        QVERIFY(session->dialogs.shown.isEmpty());
    }

    void compactOnDemandWithNothingDeleted() {
        QVERIFY(!session->program->state().DataDeleted);
        const QByteArray before = databaseBytes();
        tabs()->setCurrentIndex(3);
        action("mnuCompactDatabase")->trigger();
        QVERIFY(databaseBytes() != before);
        QVERIFY(main()->isVisible() && main()->isEnabled());
        QVERIFY(!session->program->state().DataDeleted);
        QVERIFY(!leftOver());
        QVERIFY(!test::window(QStringLiteral("Form11"))->isVisible());
        QVERIFY(session->dialogs.shown.isEmpty());
    }

    void failedCompactionIsReportedAndChangesNothing() {
        // A folder in the way of the compacted copy: the copy cannot be made.
        QVERIFY(QDir().mkpath(session->env.dataFolder() + QStringLiteral("OutputDB.mdb/inside")));
        deleteSomething();
        const QByteArray before = databaseBytes();
        action("mnuCompactDatabase")->trigger();
        QCOMPARE(databaseBytes(), before);
        QCOMPARE(session->dialogs.shown.size(), 1);
        QCOMPARE(session->dialogs.shown[0].icon, MessageIcon::Critical);
        QVERIFY(session->dialogs.shown[0].text.startsWith(
            QStringLiteral("The database could not be compacted")));
        QVERIFY(session->program->state().DataDeleted);  // still worth compacting later
        QVERIFY(main()->isVisible() && main()->isEnabled());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
