#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::ScriptedDialogs;

namespace {

const QStringList kPanels = {u"pctLogins"_s, u"pctJournal"_s, u"pctImages"_s, u"pctFiles"_s,
                             u"pctOptions"_s};

}  // namespace

class MainWindowTest : public test::SessionTest {
    Q_OBJECT

    QTabWidget* tabs() { return test::control<QTabWidget>(main(), u"SSTab1"_s); }
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
        Statement insert = connection->prepare(
            u"INSERT INTO Images (ImageName, Image, UserName) VALUES ('big.bmp', ?1, 'X')"_s);
        insert.bindBlob(1, QByteArray(2 << 20, 'z'));
        QVERIFY(insert.run().ok());
        QVERIFY(connection->exec(u"DELETE FROM Images"_s).ok());
        state().DataDeleted = true;
    }
    QByteArray databaseBytes() { return test::readBytes(session->env.databasePath()); }
    // Starts the program again and logs anna in.
    void restart() {
        session->start();
        session->logIn(u"anna"_s, u"annapass"_s);
    }
    // Quits through the menu while `answer` handles the prompt; true when the prompt came up.
    bool quitAnswering(const std::function<void(QWidget*)>& answer) {
        auto ran = test::whenModal(u"Form7"_s, answer);
        action("mnuQuit")->trigger();
        return *ran && session->program->ended();
    }

private Q_SLOTS:
    void init() { startSession(u"anna"_s, u"annapass"_s); }
    void cleanup() { endSession(); }

    void frameTabsPanelsAndMenus() {
        QVERIFY(!state().FirstActivation);
        QStringList captions;
        for (int i = 0; i < tabs()->count(); ++i) {
            captions.append(tabs()->tabText(i));
        }
        QCOMPARE(captions.join(u'|'), u"Password Vault|Journal|Images|Files|Options"_s);
        QCOMPARE(visiblePanels(), QStringList{u"pctLogins"_s});
        auto* oldPassword = test::control<QLineEdit>(main(), u"txtOldPassword"_s);
        // At its smallest the window still shows every caption whole, on every tab.
        main()->resize(1, 1);
        for (int i : {4, 2, 1, 3, 0, 4}) {
            oldPassword->setText(u"typed"_s);
            tabs()->setCurrentIndex(i);
            QCOMPARE(visiblePanels(), QStringList{kPanels[i]});
            QVERIFY(oldPassword->text().isEmpty());
            QVERIFY(test::control<QLineEdit>(main(), u"txtNewPassword"_s)->text().isEmpty());
            tabs()->currentWidget()->layout()->activate();
            for (const auto* button : tabs()->currentWidget()->findChildren<QAbstractButton*>()) {
                if (button->isVisible()) {
                    QVERIFY2(button->width() >= button->sizeHint().width(),
                             qPrintable(button->objectName()));
                }
            }
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
        QStringList menus;  // each menu's caption, then its items
        for (QAction* menu : main()->menuBar()->actions()) {
            QStringList items{menu->text()};
            for (QAction* item : menu->menu()->actions()) {
                if (!item->isSeparator()) {
                    items.append(item->text());
                }
            }
            menus.append(items.join(u'|'));
        }
        QCOMPARE(
            menus,
            QStringList({u"&Password Vault|&New Entry|&Edit Entry|&Delete Entry|&Import Records...|"
                         "E&xport Records..."_s,
                         u"&Journal|&Save|E&xport Journal..."_s,
                         u"&Images|&Check In|&View Image|Check &Out|&Delete"_s,
                         u"&Files|&Check In|&Launch|Check &Out|&Delete"_s,
                         u"&Programme|&Log Out|&Compact Database|&Quit|&About|&Help!"_s}));
    }

    // Menu items of another tab switch to it first; About and Help come from any tab.
    void menuItemsFromAnyTab() {
        // Deleting with nothing selected: the message comes over the Password Vault tab.
        tabs()->setCurrentIndex(4);
        int tabAtMessage = -1;
        dialogs().onShown = [&](const ScriptedDialogs::Shown&) {
            tabAtMessage = tabs()->currentIndex();
        };
        action("mnuDeleteEntry")->trigger();
        dialogs().onShown = nullptr;
        QCOMPARE(tabAtMessage, 0);
        QCOMPARE(dialogs().texts(), QStringList{u"You must select a record to delete."_s});
        tabs()->setCurrentIndex(4);
        action("mnuNewEntry")->trigger();
        QCOMPARE(tabs()->currentIndex(), 0);
        QWidget* editor = test::window(u"Form2"_s);
        QVERIFY(editor != nullptr && editor->isVisible());
        test::press(editor, u"cmdCancel"_s);
        QVERIFY(main()->isVisible());
        tabs()->setCurrentIndex(2);
        dialogs().clear();
        dialogs().answer(false);  // an empty entry is too short to encrypt: not saved
        action("mnuSave")->trigger();
        QCOMPARE(tabs()->currentIndex(), 1);
        QCOMPARE(dialogs().shown.size(), 1);

        // About from a picture button and from the menu, and the help page.
        dialogs().clear();
        QStringList seen;
        auto ran = test::whenModal(u"Form3"_s, [&](QWidget* about) {
            seen << about->windowTitle() << test::control<QLabel>(about, u"Label1"_s)->text()
                 << test::control<QLabel>(about, u"Label3"_s)->text()
                 << test::control<QLabel>(about, u"Label4"_s)->text().section(u'.', 0, 0);
            test::press(about, u"Command1"_s);
        });
        tabs()->setCurrentIndex(2);
        test::press(main(), u"cmdIMGAbout"_s);
        QVERIFY(*ran);
        QCOMPARE(seen, QStringList({u"Keystead"_s, u"Keystead"_s, u"Version 1.0"_s,
                                    u"Keystead is a full featured database personal information "
                                    "manager"_s}));
        QVERIFY(!test::window(u"Form3"_s)->isVisible());
        ran = test::whenModal(u"Form3"_s, [](QWidget* about) { about->close(); });
        action("mnuAbout")->trigger();
        QVERIFY(*ran);

        action("mnuHelp")->trigger();
        QCOMPARE(session->env.openedUrls.size(), 1);
        const QString page = session->env.openedUrls[0].toLocalFile();
        QVERIFY(page.startsWith(session->env.appFolder()));
        QVERIFY(QFileInfo(page).isFile());
        QVERIFY(dialogs().shown.isEmpty());
        // Without a program to show it, the user is told where the page is.
        session->env.desktopOpensUrls = false;
        action("mnuHelp")->trigger();
        QCOMPARE(dialogs().texts(),
                 QStringList{u"The help page could not be opened: the desktop has "
                             "no program to show it.\r\rThe page is "_s +
                             QDir::toNativeSeparators(page)});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
    }

    void logOutAndInAsSomeoneElseThenQuit() {
        // anna writes a journal entry, then " Bert" logs in on the same day.
        auto* journal = test::control<QPlainTextEdit>(main(), u"txtJournal"_s);
        journal->setPlainText(u"anna's own day"_s);
        QVERIFY(test::press(main(), u"cmdJournalSave"_s));
        session->logOut();
        QVERIFY(!main()->isVisible());
        QWidget* login = test::window(u"frmLogin"_s);
        QVERIFY(login->isVisible() && !state().LoggedIn);
        QCOMPARE(test::control<QLineEdit>(login, u"txtUserName"_s)->text(), u"anna"_s);
        session->logIn(u" Bert"_s, u"bertpass"_s);
        QCOMPARE(main()->windowTitle(), u"Keystead -  Bert"_s);
        QVERIFY(journal->toPlainText().isEmpty());
        // The close box is Quit.
        const QString temp = state().TempFolder;
        main()->close();
        QVERIFY(session->program->ended());
        QVERIFY(!main()->isVisible());
        QVERIFY(!test::window(u"frmLogin"_s)->isVisible());
        QVERIFY(!QFileInfo::exists(temp));
        // A Quit button takes the same path; the prompt tests quit through the menu.
        restart();
        test::press(main(), u"cmdOptionsQuit"_s);
        QCOMPARE(session->env.endCount, 2);
        // Before a login nothing is asked, nor written.
        session->start();
        const QByteArray before = databaseBytes();
        test::press(test::window(u"frmLogin"_s), u"cmdQuit"_s);
        QVERIFY(session->program->ended());
        QVERIFY(dialogs().shown.isEmpty());
        QCOMPARE(databaseBytes(), before);
    }

    void onExitOptionIsSaved() {
        QVERIFY(test::control<QRadioButton>(main(), u"optAskToCompress"_s)->isChecked());
        tabs()->setCurrentIndex(4);
        test::control<QRadioButton>(main(), u"optNeverCompress"_s)->setChecked(true);
        test::press(main(), u"Command6"_s);
        QCOMPARE(state().CompactPolicy, 0);
        QCOMPARE(readSettings(session->env.dataFolder()).line1, u"anna"_s);
        // Without a settings file the saved name line is empty.
        QVERIFY(QFile::remove(session->env.dataFolder() + u"Data.dat"_s));
        test::control<QRadioButton>(main(), u"optAlwaysCompress"_s)->setChecked(true);
        test::press(main(), u"Command6"_s);
        QCOMPARE(test::readBytes(session->env.dataFolder() + u"Data.dat"_s),
                 QByteArray("\r\n2\r\n"));
    }

    // The prompt on the way out: its close box and No keep the database and the policy.
    void promptClosedNoThenYes() {
        deleteSomething();
        QByteArray before = databaseBytes();
        bool mainHidden = false;
        bool yesFocused = false;
        QString caption;
        QVERIFY(quitAnswering([&](QWidget* prompt) {
            mainHidden = !main()->isVisible();
            yesFocused = prompt->focusWidget() == test::control<QWidget>(prompt, u"cmdYes"_s);
            caption = prompt->windowTitle();
            prompt->close();
        }));
        QVERIFY(mainHidden);
        QVERIFY(yesFocused);
        QCOMPARE(caption, u"Keystead - Compact Database"_s);
        QCOMPARE(databaseBytes(), before);
        QCOMPARE(policyFromLine(readSettings(session->env.dataFolder()).line2), 1);
        restart();
        deleteSomething();
        before = databaseBytes();
        QVERIFY(quitAnswering([](QWidget* prompt) { test::press(prompt, u"cmdNo"_s); }));
        QCOMPARE(databaseBytes(), before);

        restart();
        deleteSomething();
        const qint64 size = QFileInfo(session->env.databasePath()).size();
        QVERIFY(quitAnswering([](QWidget* prompt) { test::press(prompt, u"cmdYes"_s); }));
        QVERIFY(QFileInfo(session->env.databasePath()).size() < size - (1 << 20));
    }

    // The next start selects the saved option, and acts on it.
    void promptPolicyTakesEffectAtTheNextLogin() {
        deleteSomething();
        int policyMeanwhile = -1;
        QVERIFY(quitAnswering([&](QWidget* prompt) {
            test::control<QRadioButton>(prompt, u"optNever"_s)->setChecked(true);
            test::press(prompt, u"cmdYes"_s);
            policyMeanwhile = state().CompactPolicy;
        }));
        QCOMPARE(policyMeanwhile, 1);
        QCOMPARE(policyFromLine(readSettings(session->env.dataFolder()).line2), 0);
        restart();
        QVERIFY(test::control<QRadioButton>(main(), u"optNeverCompress"_s)->isChecked());
        // Never: deleted data is neither asked about nor compacted.
        deleteSomething();
        const QByteArray before = databaseBytes();
        action("mnuQuit")->trigger();
        QVERIFY(session->program->ended());
        QCOMPARE(databaseBytes(), before);
    }

    // Compaction without a prompt: on demand, even with nothing deleted; a failure reported,
    // changing nothing; then, under "always", at the logout.
    void compactionWithoutAPrompt() {
        QVERIFY(!state().DataDeleted);
        QByteArray before = databaseBytes();
        tabs()->setCurrentIndex(3);
        action("mnuCompactDatabase")->trigger();
        QVERIFY(databaseBytes() != before);
        QVERIFY(main()->isVisible() && main()->isEnabled());
        QVERIFY(!state().DataDeleted);
        QVERIFY(!test::window(u"Form11"_s)->isVisible());
        QVERIFY(dialogs().shown.isEmpty());

        // A folder in the way of the compacted copy: the copy cannot be made.
        QVERIFY(QDir().mkpath(session->env.dataFolder() + u"OutputDB.mdb/inside"_s));
        deleteSomething();
        before = databaseBytes();
        action("mnuCompactDatabase")->trigger();
        QCOMPARE(databaseBytes(), before);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QVERIFY(dialogs().shown[0].text.startsWith(u"The database could not be compacted"_s));
        QVERIFY(state().DataDeleted);  // still worth compacting later
        QVERIFY(main()->isVisible() && main()->isEnabled());

        dialogs().clear();
        QVERIFY(QDir(session->env.dataFolder() + u"OutputDB.mdb"_s).removeRecursively());
        state().CompactPolicy = 2;
        session->logOut();
        QVERIFY(databaseBytes() != before);
        QVERIFY(!state().DataDeleted);
        QVERIFY(dialogs().shown.isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
