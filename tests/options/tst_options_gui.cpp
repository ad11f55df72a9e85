#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "options/OptionsPage.h"
#include "storage/DatabaseCopy.h"
#include "widgets/VolumeFolderChooser.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::ScriptedDialogs;

namespace {

const QString kTitle = u"Keystead"_s;
const QString kInvalidLogin = u"Invalid user/password combo.  Please try again."_s;
const QString kChanged = u"The password has been changed"_s;

}  // namespace

class OptionsGuiTest : public test::SessionTest {
    Q_OBJECT

    QString folder;  // a chosen folder for export and import, without a trailing "/"

    OptionsPage* page() { return main()->findChild<OptionsPage*>(); }
    QLineEdit* box(const char* name) {
        return test::control<QLineEdit>(main(), QString::fromLatin1(name));
    }
    VolumeFolderChooser* chooser(const char* tree) {
        return qobject_cast<VolumeFolderChooser*>(
            test::control<QTreeView>(main(), QString::fromLatin1(tree))->parentWidget());
    }
    void typePasswords(const QString& old, const QString& fresh, const QString& repeat) {
        box("txtOldPassword")->setText(old);
        box("txtNewPassword")->setText(fresh);
        box("txtNewPassword2")->setText(repeat);
    }
    QStringList boxes() {
        return {box("txtOldPassword")->text(), box("txtNewPassword")->text(),
                box("txtNewPassword2")->text()};
    }
    QString storedPassword(const QString& name) {
        Result<Connection> connection = session->program->database().open();
        Statement query = connection->prepare(u"SELECT Password FROM Users WHERE UserName = ?1"_s);
        query.bind(1, EncryptField(name));
        return query.next() ? query.text(0) : QString();
    }
    // Tries a login at the login window; true when the main window opened.
    bool logsIn(const QString& name, const QString& password) {
        test::logIn(name, password);
        const bool in = state().LoggedIn;
        if (in) {
            session->logOut();
        }
        return in;
    }
    // Exports to or imports from `place`; the texts of the messages shown meanwhile.
    QStringList exportVia(const QString& place) {
        chooser("dirExport")->setCurrentFolder(place);
        return pressed(main(), u"cmdExport"_s);
    }
    QStringList importVia(const QString& place) {
        chooser("dirImport")->setCurrentFolder(place);
        return pressed(main(), u"cmdImport"_s);
    }
    QString exportFile() { return folder + u"/data.ksd"_s; }
    QString database() { return session->env.databasePath(); }

private Q_SLOTS:
    void init() {
        startSession(u"anna"_s, u"annapass"_s);
        folder = session->env.root() + u"chosen <b>x</b> folder ünï"_s;
        QVERIFY(QDir().mkpath(folder));
    }
    void cleanup() { endSession(); }

    void refusedChangesKeepTheBoxesAndThePassword_data() {
        QTest::addColumn<QStringList>("typed");  // old, new and repeated password
        QTest::addColumn<QString>("message");
        const QString noOld = u"You must enter the old password to continue"_s;
        const QStringList good = {u"annapass"_s, u"newpass1"_s, u"newpass1"_s};
        QTest::newRow("old missing") << QStringList{{}, good[1], good[2]} << noOld;
        QTest::newRow("old and new empty") << QStringList{u"   "_s, {}, {}} << noOld;
        QTest::newRow("letter case") << QStringList{good[0], good[1], u"NEWPASS1"_s}
                                     << u"Passwords entered were not identical"_s;
        QTest::newRow("new missing")
            << QStringList{good[0], u"  "_s, {}} << u"You must enter a new password to continue"_s;
        QTest::newRow("too short") << QStringList{good[0], u"  abc "_s, u"abc"_s}
                                   << u"The new password must be more than 3 characters in "
                                      "length, or it could not be used to log in"_s;
        QTest::newRow("too long") << QStringList{good[0], u"sixteen-letters!"_s,
                                                 u"sixteen-letters!"_s}
                                  << u"The new password must be at most 15 characters in length, "
                                     "or it could not be typed to log in"_s;
        QTest::newRow("old wrong") << QStringList{u"AnnaPass"_s, good[1], good[2]}
                                   << u"The old password was entered incorrectly"_s;
    }
    void refusedChangesKeepTheBoxesAndThePassword() {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        const QString before = storedPassword(u"anna"_s);
        typePasswords(typed[0], typed[1], typed[2]);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{message});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown[0].title, kTitle);
        QCOMPARE(boxes(), typed);
        QCOMPARE(storedPassword(u"anna"_s), before);
    }

    // A change touches only the current account, and a second one asks for the password now
    // in force; the last one is the one that logs in next time.
    void changeTouchesOnlyTheCurrentAccountAndWorksAtTheNextLogin() {
        session->logOut();
        session->logIn(u"bobby"_s, u"bobspass"_s);
        const QString bobs = storedPassword(u"bobby"_s);
        session->logOut();
        session->logIn(u"anna"_s, u"annapass"_s);
        typePasswords(u"  annapass "_s, u" newpass1 "_s, u"newpass1"_s);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{kChanged});
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QCOMPARE(boxes(), QStringList({QString(), QString(), QString()}));
        QCOMPARE(storedPassword(u"bobby"_s), bobs);
        typePasswords(u"annapass"_s, u"third333"_s, u"third333"_s);
        QCOMPARE(pressed(main(), u"Command5"_s),
                 QStringList{u"The old password was entered incorrectly"_s});
        typePasswords(u"newpass1"_s, u"third333"_s, u"third333"_s);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{kChanged});
        session->logOut();
        dialogs().clear();

        QVERIFY(!logsIn(u"anna"_s, u"annapass"_s));
        QCOMPARE(dialogs().texts(), QStringList({kInvalidLogin}));
        QVERIFY(logsIn(u"anna"_s, u"third333"_s));
        QVERIFY(logsIn(u"bobby"_s, u"bobspass"_s));
    }

    void aChangeThatWritesNothingIsReportedAndKeepsTheBoxes() {
        // Someone else changed the stored password meanwhile: no row matches any more.
        Result<Connection> connection = session->program->database().open();
        QVERIFY(connection->exec(u"UPDATE Users SET Password = 'elsewhere'"_s).ok());
        session->program->database().CloseAllDatabaseObjects();
        typePasswords(u"annapass"_s, u"newpass1"_s, u"newpass1"_s);
        const QStringList shown = pressed(main(), u"Command5"_s);
        QCOMPARE(shown.size(), 1);
        QVERIFY(
            shown[0].startsWith(u"The password could not be changed. It is still the old one."_s));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QCOMPARE(boxes().at(1), u"newpass1"_s);
        QCOMPARE(storedPassword(u"anna"_s), u"elsewhere"_s);
    }

    void exportingTwiceAsksAndNoKeepsTheFirst() {
        QCOMPARE(exportVia(folder), QStringList({u"Export Complete"_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        const QByteArray first = test::readBytes(exportFile());
        QCOMPARE(first, test::readBytes(database()));
        // A change after the first export, so a second one would differ.
        session->logOut();
        session->logIn(u"bobby"_s, u"bobspass"_s);

        dialogs().answer(false);
        QCOMPARE(exportVia(folder),
                 QStringList({u"A Keystead database was already exported to this "
                              "location.\r\rWould you like to overwrite it?"_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Question);
        QCOMPARE(test::readBytes(exportFile()), first);
        QVERIFY(main()->isEnabled());
        QVERIFY(!test::window(u"Form11"_s)->isVisible());

        dialogs().answer(true);
        QCOMPARE(exportVia(folder).last(), u"Export Complete"_s);
        QCOMPARE(test::readBytes(exportFile()), test::readBytes(database()));
        QVERIFY(test::readBytes(exportFile()) != first);
    }

    void tooLittleSpaceRefusesAfterTheCompaction() {
        // A large deleted picture, so the compaction visibly shrinks the file.
        QVERIFY(session->program->database()
                    .open()
                    ->exec(u"INSERT INTO Images (ImageName, Image, UserName) VALUES ('big', "
                           "zeroblob(1048576), 'X'); DELETE FROM Images"_s)
                    .ok());
        session->program->database().CloseAllDatabaseObjects();
        const qint64 before = QFileInfo(database()).size();
        qint64 sizeSeen = -1;
        page()->setFreeSpaceProbe([&](const QString&) {
            sizeSeen = QFileInfo(database()).size();
            return std::optional<qint64>(sizeSeen - 1);
        });
        QCOMPARE(exportVia(folder), QStringList({u"The drive you selected does not have enough "
                                                 "free space to store your database."_s}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(sizeSeen < before, "the space was measured before the compaction");
        QVERIFY(!state().DataDeleted);
        QVERIFY(!QFileInfo::exists(exportFile()));
    }

    void aFailingCopyIsReportedAndLeavesNoExport() {
        test::writeFile(exportFile(), "an earlier export");
        CopyHooks hooks;
        hooks.failAt = [](CopyStep step) { return step == CopyStep::Verify; };
        page()->setCopyHooks(hooks);
        dialogs().answer(true);
        const QStringList shown = exportVia(folder);
        QCOMPARE(shown.size(), 2);
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Critical);
        QVERIFY(shown[1].startsWith(u"The database could not be exported to "_s + folder +
                                    u"/. No export file was written; an earlier export there "
                                    "is unchanged."_s));
        QCOMPARE(test::readBytes(exportFile()), QByteArray("an earlier export"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({u"data.ksd"_s}));
        QVERIFY(main()->isEnabled());
    }

    void importFromAFolderWithoutAnExport() {
        const QByteArray before = test::readBytes(database());
        QCOMPARE(importVia(folder),
                 QStringList({u"No Keystead database was found at "_s + folder + u'/'}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(test::readBytes(database()), before);
    }

    // The kinds of files refused are the storage tests' concern; here a file and a folder.
    void hostileFilesAreRefusedBeforeAnyQuestion_data() {
        QTest::addColumn<bool>("isFolder");
        QTest::newRow("markup") << false;
        QTest::newRow("folder") << true;
    }
    void hostileFilesAreRefusedBeforeAnyQuestion() {
        QFETCH(bool, isFolder);
        if (isFolder) {
            QVERIFY(QDir().mkpath(exportFile()));
        } else {
            test::writeFile(exportFile(), "<b>x</b>");
        }
        const QByteArray before = test::readBytes(database());
        const QStringList shown = importVia(folder);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(shown[0].startsWith(u"The file "_s + exportFile() +
                                    u" is not a Keystead database that can be imported. Nothing "
                                    "has been changed.\r\r"_s));
        QCOMPARE(test::readBytes(database()), before);
        QVERIFY(!QFileInfo::exists(database() + u".bak"_s));
        QCOMPARE(session->env.startedPrograms.size(), 0);
    }

    // The import asks first; No changes nothing, Yes replaces the database and restarts.
    void importReplacesTheDatabaseAndRestartsAtTheLogin() {
        exportVia(folder);  // holds anna only
        session->logOut();
        session->logIn(u"carl"_s, u"carlpass"_s);
        const QByteArray replaced = test::readBytes(database());
        dialogs().answer(false);
        QCOMPARE(importVia(folder), QStringList({u"You are about to replace the current database "
                                                 "with the database stored at "_s +
                                                 folder + u"/\r\rAre you sure?"_s}));
        QCOMPARE(test::readBytes(database()), replaced);
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + u"Import.part"_s));
        QVERIFY(main()->isVisible());
        dialogs().answer(true);
        QCOMPARE(importVia(folder).last(),
                 u"Database import complete.\r\rKeystead must be restarted for "
                 "these changes to take effect."_s);
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(session->env.startedPrograms,
                 QList<QStringList>({{QCoreApplication::applicationFilePath()}}));
        QCOMPARE(session->env.endCount, 1);
        QVERIFY(session->program->ended());
        QVERIFY(!main()->isVisible());
        QCOMPARE(test::readBytes(database() + u".bak"_s), replaced);

        // The new run knows the imported accounts only.
        session->start();
        QVERIFY(logsIn(u"anna"_s, u"annapass"_s));
        dialogs().answer(false);
        test::logIn(u"carl"_s, u"carlpass"_s);
        QVERIFY(!state().LoggedIn);
        QCOMPARE(dialogs().texts().last(),
                 u"That user is not in the database.  Would you like to create a "
                 "new user?"_s);
    }

    // The chosen folder's volume is listed with its free space; an unreadable volume falls
    // back to the home volume.
    void volumesAreListedAndAnUnreadableOneFallsBack() {
        chooser("dirImport")->setCurrentFolder(folder);
        auto* drives = test::control<QComboBox>(main(), u"drvImport"_s);
        QCOMPARE(drives->currentData().toString(), QStorageInfo(folder).rootPath());
        QVERIFY2(drives->currentText().contains(u" free)"_s), qPrintable(drives->currentText()));
        for (int i = 0; i < drives->count(); ++i) {
            QVERIFY(!drives->itemData(i).toString().startsWith(u"/proc"_s));
        }
        QVERIFY(dialogs().shown.isEmpty());

        VolumeFolderChooser* exportChooser = chooser("dirExport");
        exportChooser->setVolumes({{u"/no-such-volume"_s, u"Gone"_s, 0}});
        drives = test::control<QComboBox>(main(), u"drvExport"_s);
        const int ghost = drives->findData(u"/no-such-volume"_s);
        QVERIFY(ghost >= 0);
        const QString ghostText = drives->itemText(ghost);
        drives->setCurrentIndex(ghost);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QCOMPARE(dialogs().shown[0].title, kTitle);
        QCOMPARE(dialogs().shown[0].text, u"An error occured trying to access drive: "_s +
                                              ghostText +
                                              u"\r\rError reads:  2 - No such file or directory"_s);
        QCOMPARE(exportChooser->currentFolder(), QDir::homePath());
        QCOMPARE(drives->currentData().toString(), QStorageInfo(QDir::homePath()).rootPath());
    }
};

QTEST_MAIN(OptionsGuiTest)
#include "tst_options_gui.moc"
