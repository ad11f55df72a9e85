// The change of password on the Options page, end to end: refusals, a change of the current
// account only, a change that writes nothing, and the backups made before it and restored.
#include "OptionsGuiFixture.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Backups.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::kTitle;

namespace {

const QString kInvalidLogin = u"Invalid user/password combo.  Please try again."_s;
const QString kChanged = u"The password has been changed"_s;

}  // namespace

class PasswordChangeGuiTest : public test::OptionsGuiFixture {
    Q_OBJECT

    QLineEdit* box(const char* name) {
        return test::control<QLineEdit>(main(), QString::fromLatin1(name));
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
    // The stored password of an account, in the live database or in a copy of it.
    QString storedPassword(const QString& name, const QString& copy = {}) {
        std::optional<DatabaseAccess> file;
        if (!copy.isEmpty()) {
            file.emplace(copy, PassPhrase());
        }
        Result<Connection> connection = (file ? *file : session->program->database()).open();
        Statement query = connection->prepare(u"SELECT Password FROM Users WHERE UserName = ?1"_s);
        query.bind(1, EncryptField(name));
        return query.next() ? query.text(0) : QString();
    }

private Q_SLOTS:
    void init() { startOptions(); }
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

    // The day's first login makes a checked copy beside the user's work, once a day; a change
    // of password is backed up first (only when it happens), and when no copy can be made the
    // user chooses: No keeps the password and what was typed.
    void theDayAndAChangeOfPasswordAreBackedUp() {
        const QString backups = backupsFolderIn(session->env.dataFolder());
        const auto reasons = [this] {
            QStringList found;
            for (const BackupFile& file : listBackups(session->env.dataFolder())) {
                found << file.reason;
            }
            return found;
        };
        QCOMPARE(reasons(), QStringList());  // the copies are off in the other tests
        session->logOut();
        session->program.reset();
        session->env.dailyBackups = true;
        session->start();
        session->logIn(u"anna"_s, u"annapass"_s);
        QTRY_COMPARE_WITH_TIMEOUT(reasons(), QStringList{u"daily"_s}, 30000);
        session->logOut();
        session->logIn(u"anna"_s, u"annapass"_s);
        const QString before = storedPassword(u"anna"_s);
        session->clock->advance(60);

        typePasswords(u"wrongpass"_s, u"newpass1"_s, u"newpass1"_s);
        pressed(main(), u"Command5"_s);
        QCOMPARE(reasons(), QStringList{u"daily"_s});
        typePasswords(u"annapass"_s, u"newpass1"_s, u"newpass1"_s);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{kChanged});
        QCOMPARE(reasons(), QStringList({u"daily"_s, u"before-password-change"_s}));
        QCOMPARE(storedPassword(u"anna"_s, listBackups(session->env.dataFolder()).last().path),
                 before);

        // A file where the folder should be: no copy can be made.
        QVERIFY(QDir(backups).removeRecursively());
        test::writeFile(backups.chopped(1), "in the way");
        const QString changed = storedPassword(u"anna"_s);
        typePasswords(u"newpass1"_s, u"third333"_s, u"third333"_s);
        dialogs().answer(false);
        const QStringList shown = pressed(main(), u"Command5"_s);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(u"No backup of the database could be made before it "
                                     "changes your password:"_s),
                 qPrintable(shown[0]));
        QVERIFY(shown[0].endsWith(u"Go on without a backup?"_s));
        QVERIFY(dialogs().shown.last().defaultNo);
        QCOMPARE(storedPassword(u"anna"_s), changed);
        QCOMPARE(boxes().at(1), u"third333"_s);
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"Command5"_s).last(), kChanged);
        QVERIFY(storedPassword(u"anna"_s) != changed);
    }

    // The Options list shows the backups newest first; Restore asks what the backup holds and
    // puts it back as an import does: the current database kept first, then the restart.
    void aBackupIsListedAndRestoredAsAnImport() {
        const QString before = storedPassword(u"anna"_s);
        typePasswords(u"annapass"_s, u"newpass1"_s, u"newpass1"_s);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{kChanged});
        auto* list = test::control<QTreeWidget>(main(), u"lstBackups"_s);
        auto* box = main()->findChild<QGroupBox*>(u"fraBackups"_s);
        QVERIFY(box != nullptr && list->topLevelItemCount() == 0);
        auto* tabs = main()->findChild<QTabWidget*>();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            if (tabs->widget(tab)->isAncestorOf(page()) || tabs->widget(tab) == page()) {
                tabs->setCurrentIndex(tab);  // shown: read again
            }
        }
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(1), u"before password change"_s);

        dialogs().answer(false);
        const QStringList refused = pressed(main(), u"cmdRestoreBackup"_s);
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused[0].startsWith(u"You are about to replace the current database with the "
                                       "backup made "_s),
                 qPrintable(refused[0]));
        QVERIFY(refused[0].contains(u"(before password change).\r\rIt holds 1 account (anna)"_s));
        QVERIFY(storedPassword(u"anna"_s) != before);
        QVERIFY(!QFileInfo::exists(session->env.dataFolder() + u"Import.part"_s));

        session->clock->advance(60);
        dialogs().answer(true);
        QCOMPARE(pressed(main(), u"cmdRestoreBackup"_s).last(),
                 u"Database import complete.\r\rKeystead must be restarted for these changes to "
                 "take effect."_s);
        QCOMPARE(session->env.startedPrograms.size(), 1);
        QCOMPARE(storedPassword(u"anna"_s, database()), before);
        QStringList reasons;
        for (const BackupFile& file : listBackups(session->env.dataFolder())) {
            reasons << file.reason;
        }
        QCOMPARE(reasons, QStringList({u"before-password-change"_s, u"before-import"_s}));
    }
};

QTEST_MAIN(PasswordChangeGuiTest)
#include "tst_password_change_gui.moc"
