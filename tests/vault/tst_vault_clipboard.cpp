// Copying a record's user name and password without showing them, and showing or masking the
// password in the details.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "app/MainWindow.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordStore.h"
#include "widgets/SecretClipboard.h"

using namespace ks;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString kUserNameCopied = u"User name copied."_s;
const QString kPasswordCopied =
    u"Password copied; it will be cleared from the clipboard in 20 seconds."_s;
const QString kPasswordCleared = u"The copied password has been cleared from the clipboard."_s;
const QString kNoneSelected = u"Select a record to copy from."_s;
const QString kNoPassword = u"The record has no password to copy."_s;
const QString kGone = u"That record no longer exists."_s;
const QString kHint = u"x-kde-passwordManagerHint"_s;

// Values as hostile as users type them: spaces at both ends, markup, other scripts.
const QString kMailUser = u" анна@example.org "_s;
const QString kMailPassword = u"  <b>pw</b> & \"q\" 密码 "_s;

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}
// The hint the clipboard holds for clipboard managers ("" when there is none).
QByteArray hint() {
    const QMimeData* data = clipboard()->mimeData();
    return data != nullptr ? data->data(kHint) : QByteArray();
}

}  // namespace

class VaultClipboardTest : public test::SessionTest {
    Q_OBJECT

    qint64 mailCounter = -1;

    QAbstractItemView* records() {
        return test::control<QAbstractItemView>(main(), u"lstPasswords"_s);
    }
    QLineEdit* shownPassword() { return test::control<QLineEdit>(main(), u"txtPassword"_s); }
    QString status() { return main()->statusBar()->currentMessage(); }
    SecretClipboard* secrets() { return main()->findChild<SecretClipboard*>(); }
    // Presses a copy button: what the clipboard then holds, its hint, and the status bar's word.
    QString copying(const QString& button) {
        test::press(main(), button);
        return QStringList{clipboard()->text(), QString::fromLatin1(hint()), status()}.join(u'|');
    }
    qint64 addRecord(const QString& owner, const QString& shortName, const QString& userName,
                     const QString& password) {
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        RecordStore store(database);
        const SaveResult saved = store.CreateRecord(
            EncryptField(owner), {shortName, userName, password, u"<i>about</i>"_s, {}, {}});
        return saved.outcome == SaveOutcome::Saved ? saved.counter : -1;
    }
    void reload() { session->program->mainWindow()->activateFromProgram(); }
    void select(const QString& line) {
        records()->clearSelection();
        QVERIFY(test::selectText(records(), line));
    }
    bool listed(const QString& line) { return test::itemTexts(records()).contains(line); }
    void logOut() {
        state().CompactPolicy = 0;  // no compaction question on the way
        session->logOut();
    }

private Q_SLOTS:
    void init() {
        startSession();
        mailCounter = addRecord(u"anna"_s, u"mail account"_s, kMailUser, kMailPassword);
        addRecord(u"anna"_s, u"bank login"_s, u"a.b"_s, u"b4nk"_s);
        addRecord(u"anna"_s, u"no password"_s, u"just me"_s, QString());
        reload();
        clipboard()->setText(u"before"_s);
    }
    void cleanup() {
        endSession();
        clipboard()->clear();
    }

    // The clipboard on its own: the secret's mark, its time, and what is never cleared (what the
    // user copied since, whether the time is up, or at the logout that asks for it at once).
    void secretClipboardMarksAndClearsOnlyItsOwnSecret() {
        SecretClipboard secrets;
        QSignalSpy cleared(&secrets, &SecretClipboard::secretCleared);
        secrets.setClearAfter(50ms);
        secrets.copySecret(u"s3cret "_s);
        QCOMPARE(clipboard()->text(), u"s3cret "_s);
        QCOMPARE(hint(), QByteArray("secret"));
        QTRY_VERIFY(clipboard()->text().isEmpty());
        QCOMPARE(cleared.size(), 1);

        // Something copied since is the user's: it stays.
        secrets.copySecret(u"s3cret"_s);
        clipboard()->setText(u"mine"_s);
        QTest::qWait(200);
        QCOMPARE(clipboard()->text(), u"mine"_s);
        QVERIFY(!secrets.clearSecret());
        QCOMPARE(cleared.size(), 1);

        // A plain copy carries no mark, and the secret before it is no longer waited for.
        secrets.copySecret(u"s3cret"_s);
        secrets.copyText(u"s3cret"_s);
        QVERIFY(!secrets.holdsSecret());
        QCOMPARE(hint(), QByteArray());
        QTest::qWait(200);
        QCOMPARE(clipboard()->text(), u"s3cret"_s);

        // Asked to clear at once (logout, quit, or the clipboard's end).
        {
            SecretClipboard ending;
            ending.copySecret(u"s3cret"_s);
        }
        QVERIFY(clipboard()->text().isEmpty());
    }

    void buttonsCopyTheSelectedRecord() {
        // Nothing selected, or nothing there: a word in the status bar, no message box.
        records()->clearSelection();
        QCOMPARE(copying(u"cmdCopyUserName"_s), u"before||"_s + kNoneSelected);
        select(u"no password"_s);
        QCOMPARE(copying(u"cmdCopyPassword"_s), u"before||"_s + kNoPassword);
        records()->clearSelection();
        QCOMPARE(copying(u"cmdCopyPassword"_s), u"before||"_s + kNoneSelected);

        select(u"mail account"_s);
        QCOMPARE(copying(u"cmdCopyUserName"_s), kMailUser + u"||"_s + kUserNameCopied);
        QCOMPARE(copying(u"cmdCopyPassword"_s), kMailPassword + u"|secret|"_s + kPasswordCopied);
        QVERIFY(dialogs().shown.isEmpty());
    }

    // The keys and the list's menu; its copy items are the keys' actions.
    void keysAndMenuOfTheList() {
        main()->activateWindow();
        QTRY_VERIFY(main()->isActiveWindow());  // the start-up picture may still hold the focus
        select(u"bank login"_s);
        records()->setFocus();
        QTest::keyClick(records(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(clipboard()->text(), u"a.b"_s);
        QTest::keyClick(records(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard()->text(), u"b4nk"_s);

        // Elsewhere Ctrl+C copies what is selected there; Ctrl+B still copies the user name.
        auto* description = test::control<QPlainTextEdit>(main(), u"txtDescription"_s);
        description->setFocus();
        description->selectAll();
        QTest::keyClick(description, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard()->text(), u"<i>about</i>"_s);
        QTest::keyClick(description, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(clipboard()->text(), u"a.b"_s);

        select(u"mail account"_s);
        const QRect line = records()->visualRect(records()->currentIndex());
        emit records()->customContextMenuRequested(line.center());
        auto* menu = main()->findChild<QMenu*>(u"mnuRecords"_s);
        QTRY_VERIFY(menu->isVisible());
        QStringList captions;
        for (const QAction* item : menu->actions()) {
            captions.append(item->text());
        }
        QCOMPARE(captions, (QStringList{u"Copy &User Name"_s,
                                        u"Copy &Password"_s,
                                        {},
                                        u"&Edit Record"_s,
                                        u"&Delete Record"_s}));
        menu->hide();
        dialogs().answer(false);
        menu->findChild<QAction*>(u"mnuDeleteRecord"_s)->trigger();
        QCOMPARE(dialogs().texts(),
                 QStringList{u"Are you sure you want to delete record:  mail account"_s});

        menu->findChild<QAction*>(u"mnuEditRecord"_s)->trigger();
        QWidget* editor = test::window(u"Form2"_s);
        QVERIFY(editor->isVisible());
        QCOMPARE(test::control<QLineEdit>(editor, u"txtShortName"_s)->text(), u"mail account"_s);
        QVERIFY(test::press(editor, u"cmdCancel"_s));
    }

    void passwordLeavesTheClipboardAfterItsTime() {
        secrets()->setClearAfter(100ms);
        select(u"bank login"_s);
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        QCOMPARE(clipboard()->text(), u"b4nk"_s);
        QTRY_VERIFY(clipboard()->text().isEmpty());
        QCOMPARE(status(), kPasswordCleared);
    }

    void logoutAndQuitTakeThePasswordAway() {
        select(u"bank login"_s);
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        logOut();
        QVERIFY(clipboard()->text().isEmpty());
        QVERIFY(status().isEmpty());
        session->logIn(u"anna"_s);
        select(u"bank login"_s);
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        session->program->QuitApplication();
        QVERIFY(clipboard()->text().isEmpty());
    }

    void anotherUsersRecordIsNeverCopied() {
        // Anna's selected record passes to Bob (by another running copy) before she copies it.
        select(u"mail account"_s);
        {
            DatabaseAccess database(session->env.databasePath(), PassPhrase());
            QVERIFY(database.open()
                        ->exec(u"UPDATE Logins SET KeyUserName = '%1' WHERE Counter = %2"_s
                                   .arg(EncryptField(u"bob"_s))
                                   .arg(mailCounter))
                        .ok());
        }
        QCOMPARE(copying(u"cmdCopyPassword"_s), u"before||"_s);
        QCOMPARE(dialogs().texts(), QStringList{kGone});
        QCOMPARE(dialogs().shown.first().icon, MessageIcon::Exclamation);
        // The list no longer offers it.
        QVERIFY(!listed(u"mail account"_s));
        QCOMPARE(copying(u"cmdCopyUserName"_s), u"before||"_s + kNoneSelected);
    }

    void detailsPasswordIsMaskedUntilShown() {
        select(u"mail account"_s);
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);
        QCOMPARE(shownPassword()->text(), kMailPassword);  // held, only not shown
        auto* reveal = main()->findChild<QAction*>(u"txtPasswordReveal"_s);
        QVERIFY(test::press(main(), u"cmdRevealPassword"_s));  // the eye beside the box
        QVERIFY(reveal->isChecked());
        QCOMPARE(shownPassword()->displayText(), kMailPassword);
        reveal->trigger();
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);

        // Another record comes masked.
        reveal->trigger();
        select(u"bank login"_s);
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);

        // So does the next session.
        reveal->trigger();
        logOut();
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);
        session->logIn(u"anna"_s);
        QVERIFY(!reveal->isChecked());
    }
};

QTEST_MAIN(VaultClipboardTest)
#include "tst_vault_clipboard.moc"
