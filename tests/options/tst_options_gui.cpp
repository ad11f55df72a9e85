#include <QtTest>

#include <sys/stat.h>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QTreeView>

#include "GuiDriver.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "options/OptionsPage.h"
#include "storage/DatabaseCopy.h"
#include "widgets/VolumeFolderChooser.h"

using namespace ks;
using test::ScriptedDialogs;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

const QString kTitle = QStringLiteral("Keystead");
const QString kInvalidLogin = QStringLiteral("Invalid user/password combo.  Please try again.");

}  // namespace

class OptionsGuiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Session> session;
    QString folder;  // a chosen folder for export and import, without a trailing "/"

    QMainWindow* main() { return session->mainWindow(); }
    ScriptedDialogs& dialogs() { return session->dialogs; }
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
        Statement query =
            connection->prepare(QStringLiteral("SELECT Password FROM Users WHERE UserName = ?1"));
        query.bind(1, EncryptField(name));
        return query.next() ? query.text(0) : QString();
    }
    // Tries a login at the login window; true when the main window opened.
    bool logsIn(const QString& name, const QString& password) {
        test::logIn(name, password);
        const bool in = session->program->state().LoggedIn;
        if (in) {
            session->logOut();
        }
        return in;
    }
    void exportVia(const QString& target) {
        chooser("dirExport")->setCurrentFolder(target);
        QVERIFY(test::press(main(), QStringLiteral("cmdExport")));
    }
    void importVia(const QString& source) {
        chooser("dirImport")->setCurrentFolder(source);
        QVERIFY(test::press(main(), QStringLiteral("cmdImport")));
    }
    QString exportFile() { return folder + QStringLiteral("/data.ksd"); }
    QString database() { return session->env.databasePath(); }

private Q_SLOTS:
    void init() {
        session = std::make_unique<test::Session>();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        folder = session->env.root() + QStringLiteral("chosen <b>x</b> folder ünï");
        QVERIFY(QDir().mkpath(folder));
    }
    void cleanup() {
        QVERIFY2(dialogs().unexpected.isEmpty(), qPrintable(dialogs().unexpected.join(u'|')));
        session.reset();
    }

    // ---- change of password ----

    void refusedChangesKeepTheBoxesAndThePassword_data() {
        QTest::addColumn<QString>("old");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("message");
        QTest::newRow("old missing") << ""
                                     << "newpass1"
                                     << "newpass1"
                                     << "You must enter the old password to continue";
        QTest::newRow("old and new empty") << "   "
                                           << ""
                                           << ""
                                           << "You must enter the old password to continue";
        QTest::newRow("letter case") << "annapass"
                                     << "newpass1"
                                     << "NEWPASS1"
                                     << "Passwords entered were not identical";
        QTest::newRow("new missing") << "annapass"
                                     << "  "
                                     << ""
                                     << "You must enter a new password to continue";
        QTest::newRow("too short") << "annapass"
                                   << "  abc "
                                   << "abc"
                                   << "The new password must be more than 3 characters in "
                                      "length, or it could not be used to log in";
        QTest::newRow("too long") << "annapass"
                                  << "sixteen-letters!"
                                  << "sixteen-letters!"
                                  << "The new password must be at most 15 characters in length, "
                                     "or it could not be typed to log in";
        QTest::newRow("old wrong") << "AnnaPass"
                                   << "newpass1"
                                   << "newpass1"
                                   << "The old password was entered incorrectly";
    }
    void refusedChangesKeepTheBoxesAndThePassword() {
        QFETCH(QString, old);
        QFETCH(QString, fresh);
        QFETCH(QString, repeat);
        QFETCH(QString, message);
        const QString before = storedPassword(QStringLiteral("anna"));
        typePasswords(old, fresh, repeat);
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(dialogs().shown[0].title, kTitle);
        QCOMPARE(dialogs().shown[0].text, message);
        QCOMPARE(boxes(), QStringList({old, fresh, repeat}));
        QCOMPARE(storedPassword(QStringLiteral("anna")), before);
    }

    void changeTouchesOnlyTheCurrentAccountAndWorksAtTheNextLogin() {
        session->logOut();
        session->logIn(QStringLiteral("bobby"), QStringLiteral("bobspass"));
        const QString bobs = storedPassword(QStringLiteral("bobby"));
        session->logOut();
        session->logIn(QStringLiteral("anna"), QStringLiteral("annapass"));
        typePasswords(QStringLiteral("  annapass "), QStringLiteral(" newpass1 "),
                      QStringLiteral("newpass1"));
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        QCOMPARE(dialogs().texts(), QStringList({QStringLiteral("The password has been changed")}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QCOMPARE(boxes(), QStringList({QString(), QString(), QString()}));
        QCOMPARE(storedPassword(QStringLiteral("bobby")), bobs);
        session->logOut();
        dialogs().clear();

        QVERIFY(!logsIn(QStringLiteral("anna"), QStringLiteral("annapass")));
        QCOMPARE(dialogs().texts(), QStringList({kInvalidLogin}));
        QVERIFY(logsIn(QStringLiteral("anna"), QStringLiteral("newpass1")));
        QVERIFY(logsIn(QStringLiteral("bobby"), QStringLiteral("bobspass")));
    }

    void aSecondChangeNamesThePasswordNowInForce() {
        typePasswords(QStringLiteral("annapass"), QStringLiteral("second1"),
                      QStringLiteral("second1"));
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        dialogs().clear();
        typePasswords(QStringLiteral("annapass"), QStringLiteral("third333"),
                      QStringLiteral("third333"));
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        QCOMPARE(dialogs().texts(),
                 QStringList({QStringLiteral("The old password was entered incorrectly")}));
        dialogs().clear();
        typePasswords(QStringLiteral("second1"), QStringLiteral("third333"),
                      QStringLiteral("third333"));
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        QCOMPARE(dialogs().texts(), QStringList({QStringLiteral("The password has been changed")}));
        session->logOut();
        QVERIFY(logsIn(QStringLiteral("anna"), QStringLiteral("third333")));
    }

    void aChangeThatWritesNothingIsReportedAndKeepsTheBoxes() {
        // Someone else changed the stored password meanwhile: no row matches any more.
        Result<Connection> connection = session->program->database().open();
        QVERIFY(connection->exec(QStringLiteral("UPDATE Users SET Password = 'elsewhere'")).ok());
        session->program->database().CloseAllDatabaseObjects();
        typePasswords(QStringLiteral("annapass"), QStringLiteral("newpass1"),
                      QStringLiteral("newpass1"));
        QVERIFY(test::press(main(), QStringLiteral("Command5")));
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QVERIFY(dialogs().shown[0].text.startsWith(
            QStringLiteral("The password could not be changed. It is still the old one.")));
        QCOMPARE(boxes().at(1), QStringLiteral("newpass1"));
        QCOMPARE(storedPassword(QStringLiteral("anna")), QStringLiteral("elsewhere"));
    }

    // ---- export ----

    void exportingTwiceAsksAndNoKeepsTheFirst() {
        exportVia(folder);
        QCOMPARE(dialogs().texts(), QStringList({QStringLiteral("Export Complete")}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QCOMPARE(bytesOf(exportFile()), bytesOf(database()));
        const QByteArray first = bytesOf(exportFile());
        // A change after the first export, so a second one would differ.
        session->logOut();
        session->logIn(QStringLiteral("bobby"), QStringLiteral("bobspass"));
        dialogs().clear();

        dialogs().answer(false);
        exportVia(folder);
        QCOMPARE(dialogs().texts(),
                 QStringList({QStringLiteral("A Keystead database was already exported to this "
                                             "location.\r\rWould you like to overwrite it?")}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Question);
        QCOMPARE(bytesOf(exportFile()), first);
        QVERIFY(main()->isEnabled());
        QVERIFY(!test::window(QStringLiteral("Form11"))->isVisible());
        dialogs().clear();

        dialogs().answer(true);
        exportVia(folder);
        QCOMPARE(dialogs().texts().last(), QStringLiteral("Export Complete"));
        QCOMPARE(bytesOf(exportFile()), bytesOf(database()));
        QVERIFY(bytesOf(exportFile()) != first);
    }

    void tooLittleSpaceRefusesAfterTheCompaction() {
        // A large deleted picture, so the compaction visibly shrinks the file.
        {
            Result<Connection> connection = session->program->database().open();
            Statement insert = connection->prepare(QStringLiteral(
                "INSERT INTO Images (ImageName, Image, UserName) VALUES ('big', ?1, 'X')"));
            insert.bindBlob(1, QByteArray(1 << 20, 'z'));
            QVERIFY(insert.run().ok());
            QVERIFY(connection->exec(QStringLiteral("DELETE FROM Images")).ok());
        }
        session->program->database().CloseAllDatabaseObjects();
        const qint64 before = QFileInfo(database()).size();
        qint64 sizeSeen = -1;
        page()->setFreeSpaceProbe([&](const QString&) {
            sizeSeen = QFileInfo(database()).size();
            return std::optional<qint64>(sizeSeen - 1);
        });
        exportVia(folder);
        QCOMPARE(dialogs().texts(),
                 QStringList({QStringLiteral("The drive you selected does not have enough free "
                                             "space to store your database.")}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(sizeSeen < before, "the space was measured before the compaction");
        QVERIFY(!session->program->state().DataDeleted);
        QVERIFY(!QFileInfo::exists(exportFile()));
    }

    void aFailingCopyIsReportedAndLeavesNoExport() {
        writeBytes(exportFile(), "an earlier export");
        CopyHooks hooks;
        hooks.failAt = [](CopyStep step) { return step == CopyStep::Verify; };
        page()->setCopyHooks(hooks);
        dialogs().answer(true);
        exportVia(folder);
        QCOMPARE(dialogs().shown.size(), 2);
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Critical);
        QVERIFY(dialogs().shown[1].text.startsWith(
            QStringLiteral("The database could not be exported to ") + folder +
            QStringLiteral(
                "/. No export file was written; an earlier export there is unchanged.")));
        QVERIFY(!dialogs().texts().contains(QStringLiteral("Export Complete")));
        QCOMPARE(bytesOf(exportFile()), QByteArray("an earlier export"));
        QStringList left = QDir(folder).entryList(QDir::Files);
        QCOMPARE(left, QStringList({QStringLiteral("data.ksd")}));
        QVERIFY(main()->isEnabled());
    }

    // ---- import ----

    void importFromAFolderWithoutAnExport() {
        const QByteArray before = bytesOf(database());
        importVia(folder);
        QCOMPARE(dialogs().texts(),
                 QStringList({QStringLiteral("No Keystead database was found at ") + folder +
                              QLatin1Char('/')}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(bytesOf(database()), before);
    }

    void hostileFilesAreRefusedBeforeAnyQuestion_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("markup") << QByteArray("<b>x</b>");
        QTest::newRow("random") << QByteArray(20000, '\x93');
        QTest::newRow("folder") << QByteArray("folder");
    }
    void hostileFilesAreRefusedBeforeAnyQuestion() {
        QFETCH(QByteArray, content);
        if (content == "folder") {
            QVERIFY(QDir().mkpath(exportFile()));
        } else {
            writeBytes(exportFile(), content);
        }
        const QByteArray before = bytesOf(database());
        importVia(folder);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(dialogs().shown[0].text.startsWith(
            QStringLiteral("The file ") + exportFile() +
            QStringLiteral(" is not a Keystead database that can be imported. Nothing has been "
                           "changed.\r\r")));
        QCOMPARE(bytesOf(database()), before);
        QVERIFY(!QFileInfo::exists(database() + QStringLiteral(".bak")));
        QCOMPARE(session->env.startedPrograms.size(), 0);
    }

    void answeringNoToTheImportChangesNothing() {
        exportVia(folder);
        session->logOut();
        session->logIn(QStringLiteral("bobby"), QStringLiteral("bobspass"));
        const QByteArray before = bytesOf(database());
        dialogs().answer(false);
        importVia(folder);
        QCOMPARE(dialogs().texts(),
                 QStringList({QStringLiteral("You are about to replace the current database with "
                                             "the database stored at ") +
                              folder + QStringLiteral("/\r\rAre you sure?")}));
        QCOMPARE(bytesOf(database()), before);
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + QStringLiteral("Import.part")));
        QVERIFY(main()->isVisible());
    }

    void importReplacesTheDatabaseAndRestartsAtTheLogin() {
        exportVia(folder);  // holds anna only
        session->logOut();
        session->logIn(QStringLiteral("carl"), QStringLiteral("carlpass"));
        const QByteArray replaced = bytesOf(database());
        dialogs().answer(true);
        importVia(folder);
        QCOMPARE(dialogs().texts().last(),
                 QStringLiteral("Database import complete.\r\rKeystead must be restarted for "
                                "these changes to take effect."));
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Information);
        QCOMPARE(session->env.startedPrograms,
                 QList<QStringList>({{QCoreApplication::applicationFilePath()}}));
        QCOMPARE(session->env.endCount, 1);
        QVERIFY(session->program->ended());
        QVERIFY(!main()->isVisible());
        const QString backup = database() + QStringLiteral(".bak");
        QCOMPARE(bytesOf(backup), replaced);
        QCOMPARE(QFile::permissions(backup) & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        // The new run knows the imported accounts only.
        session->start();
        QVERIFY(logsIn(QStringLiteral("anna"), QStringLiteral("annapass")));
        dialogs().answer(false);
        test::logIn(QStringLiteral("carl"), QStringLiteral("carlpass"));
        QVERIFY(!session->program->state().LoggedIn);
        QCOMPARE(dialogs().texts().last(),
                 QStringLiteral("That user is not in the database.  Would you like to create a "
                                "new user?"));
    }

    // ---- volumes ----

    void theChosenFolderIsTheTargetAndItsVolumeIsListedWithItsFreeSpace() {
        VolumeFolderChooser* importChooser = chooser("dirImport");
        importChooser->setCurrentFolder(folder);
        QCOMPARE(importChooser->currentFolder(), folder);
        auto* drives = test::control<QComboBox>(main(), QStringLiteral("drvImport"));
        const QStorageInfo volume(folder);
        QCOMPARE(drives->currentData().toString(), volume.rootPath());
        QVERIFY2(drives->currentText().contains(QStringLiteral(" free)")),
                 qPrintable(drives->currentText()));
        for (int i = 0; i < drives->count(); ++i) {
            QVERIFY(!drives->itemData(i).toString().startsWith(QStringLiteral("/proc")));
        }
        QVERIFY(dialogs().shown.isEmpty());
    }

    void anUnreadableVolumeFallsBackToTheHomeVolume() {
        VolumeFolderChooser* exportChooser = chooser("dirExport");
        QList<DriveFacts> volumes = {
            {QStringLiteral("/no-such-volume"), QStringLiteral("Gone"), 0}};
        exportChooser->setVolumes(volumes);
        auto* drives = test::control<QComboBox>(main(), QStringLiteral("drvExport"));
        const int ghost = drives->findData(QStringLiteral("/no-such-volume"));
        QVERIFY(ghost >= 0);
        const QString ghostText = drives->itemText(ghost);
        drives->setCurrentIndex(ghost);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Critical);
        QCOMPARE(dialogs().shown[0].title, kTitle);
        QCOMPARE(dialogs().shown[0].text,
                 QStringLiteral("An error occured trying to access drive: ") + ghostText +
                     QStringLiteral("\r\rError reads:  2 - No such file or directory"));
        QCOMPARE(exportChooser->currentFolder(), QDir::homePath());
        QCOMPARE(drives->currentData().toString(), QStorageInfo(QDir::homePath()).rootPath());
    }
};

QTEST_MAIN(OptionsGuiTest)
#include "tst_options_gui.moc"
