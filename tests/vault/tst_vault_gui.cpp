// The Password Vault tab with its search box and copy buttons, the record editor with its
// password generator, and the category window, driven end to end.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "app/MainWindow.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordStore.h"
#include "widgets/SecretClipboard.h"
#include "widgets/TextBox.h"

using namespace ks;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString kCreated = u"Record was successfully created."_s;
const QString kInUse =
    u"The 'Short Name' entered is already in use.  Please enter a different 'Short Name'."_s;
const QString kGlobal = u"WARNING: This is a global category.  You may not remove it."_s;
const QString kDeleteRecord = u"Are you sure you want to delete record:  "_s;
const QString kDeleteCategory = u"Are you sure you want to delete the category: "_s;
const QString kNewTitle = u"Keystead - Create New Record"_s;
const QString kTooShort =
    u"The 'Short Name' field was left blank, or is less than 3 "
    "characters.\r\rThis record has not been saved."_s;
const QStringList kShared = {u"Banking"_s, u"Email"_s, u"Internet"_s, u"Shopping"_s, u"Work"_s};
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
QByteArray clipboardHint() {
    const QMimeData* data = clipboard()->mimeData();
    return data != nullptr ? data->data(kHint) : QByteArray();
}

template <typename T = QLineEdit>
T* on(QWidget* root, const QString& name) {
    return test::control<T>(root, name);
}
// User name, password, description and notes as the tab or the editor shows them.
QString details(QWidget* root) {
    return QStringList{on(root, u"txtUserName"_s)->text(), on(root, u"txtPassword"_s)->text(),
                       documentText(on<QPlainTextEdit>(root, u"txtDescription"_s)->document()),
                       documentText(on<QPlainTextEdit>(root, u"txtNotes"_s)->document())}
        .join(u'|');
}

}  // namespace

class VaultGuiTest : public test::SessionTest {
    Q_OBJECT

    QWidget* editor() { return test::window(u"Form2"_s); }
    QComboBox* filter() { return on<QComboBox>(main(), u"cmbCategories"_s); }
    QListView* records() { return on<QListView>(main(), u"lstPasswords"_s); }
    QComboBox* category() { return on<QComboBox>(editor(), u"cmbCategory"_s); }
    QLineEdit* shortNameBox() { return on(editor(), u"txtShortName"_s); }
    QLineEdit* search() { return on(main(), u"txtSearchRecords"_s); }
    QStringList listed() { return test::itemTexts(records()); }
    void chooseFilter(const QString& entry) { filter()->setCurrentText(entry); }
    void select(const QString& line) { QVERIFY(test::selectText(records(), line)); }
    // The editor's title ("hidden" when it is), short name, values, repeated password, category.
    QString form() {
        return QStringList{editor()->isVisible() ? editor()->windowTitle() : u"hidden"_s,
                           shortNameBox()->text(), details(editor()),
                           on(editor(), u"txtPassword2"_s)->text(), category()->currentText()}
            .join(u'|');
    }
    // Types into the category box (when given); the hint's caption, marked when it is hidden.
    QString hint(const QString& typed = {}) {
        if (!typed.isNull()) {
            category()->clearEditText();
            QTest::keyClicks(category(), typed);
        }
        const QString caption = on<QLabel>(editor(), u"lblHint"_s)->text();
        return on<QWidget>(editor(), u"pctHint"_s)->isVisible() ? caption
                                                                : caption + u" (hidden)"_s;
    }
    // Fills the editor's boxes; the repeated password equals the password.
    void type(const QString& shortName, const QString& category, const QString& userName = {},
              const QString& password = {}, const QString& notes = {}) {
        shortNameBox()->setText(shortName);
        on(editor(), u"txtUserName"_s)->setText(userName);
        on(editor(), u"txtPassword"_s)->setText(password);
        on(editor(), u"txtPassword2"_s)->setText(password);
        on<QPlainTextEdit>(editor(), u"txtNotes"_s)->setPlainText(notes);
        this->category()->setEditText(category);
    }
    bool create(const QString& shortName, const QString& category = {}) {
        test::press(main(), u"cmdLoginsNew"_s);
        type(shortName, category, shortName + u"-login"_s, u"secret"_s);
        return pressed(editor(), u"cmdSaveClose"_s) == QStringList{kCreated};
    }
    // Adds a record as another running copy would; its Counter (-1 when it is not saved).
    qint64 add(const QString& owner, const RecordFields& fields) {
        DatabaseAccess other(session->env.databasePath(), PassPhrase());
        const SaveResult saved = RecordStore(other).CreateRecord(EncryptField(owner), fields);
        return saved.outcome == SaveOutcome::Saved ? saved.counter : -1;
    }
    void addRecordsToSearch() {
        add(u"anna"_s, {u"Bank of Ærø"_s, u"anna.k"_s, u"pw"_s, {}, {}, {}});
        add(u"anna"_s, {u"Webmail"_s, u"ANNA"_s, u"pw"_s, {}, {}, u"Email"_s});
        add(u"anna"_s, {u"Chess club"_s, u"knight"_s, u"pw"_s, {}, {}, u"Email"_s});
        QVERIFY(add(u"bert"_s, {u"Bert's mail"_s, u"anna"_s, u"pw"_s, {}, {}, {}}) > 0);
        test::press(main(), u"cmdLoginsNew"_s);  // the editor's Cancel shows them
        test::press(editor(), u"cmdCancel"_s);
    }
    // The records to copy from; the clipboard holds the user's own text before.
    qint64 addRecordsToCopy() {
        const qint64 mail =
            add(u"anna"_s, {u"mail account"_s, kMailUser, kMailPassword, {}, {}, {}});
        add(u"anna"_s, {u"bank login"_s, u"a.b"_s, u"b4nk"_s, u"<i>about</i>"_s, {}, {}});
        add(u"anna"_s, {u"no password"_s, u"just me"_s, {}, {}, {}, {}});
        session->program->mainWindow()->activateFromProgram();  // shows them
        clipboard()->setText(u"before"_s);
        return mail;
    }
    QLineEdit* shownPassword() { return on(main(), u"txtPassword"_s); }
    QString status() { return main()->statusBar()->currentMessage(); }
    SecretClipboard* secrets() { return main()->findChild<SecretClipboard*>(); }
    // Presses a copy button: what the clipboard then holds, its hint, and the status bar's word.
    QString copying(const QString& button) {
        test::press(main(), button);
        return QStringList{clipboard()->text(), QString::fromLatin1(clipboardHint()), status()}
            .join(u'|');
    }
    void logOut() {
        state().CompactPolicy = 0;  // no compaction question on the way
        session->logOut();
    }
    // Selects these categories in Form5 and presses cmdDelete; the texts shown meanwhile.
    QStringList deleteCategories(QListWidget* list, const QStringList& names) {
        list->clearSelection();
        for (const QString& name : names) {
            list->findItems(name, Qt::MatchExactly).first()->setSelected(true);
        }
        return pressed(list->window(), u"cmdDelete"_s);
    }
    // Opens Form5, runs `work` inside it, then closes it with cmdClose or the close box.
    void manageCategories(const std::function<void(QListWidget*)>& work, bool closeBox = false) {
        auto ran = test::whenModal(u"Form5"_s, [&](QWidget* window) {
            work(on<QListWidget>(window, u"lstCategories"_s));
            QVERIFY(closeBox ? !window->close() : test::press(window, u"cmdClose"_s));
        });
        test::press(main(), u"cmdLoginsManageCategories"_s);
        QVERIFY(*ran);
        QVERIFY(!test::window(u"Form5"_s)->isVisible());
    }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() {
        endSession();
        clipboard()->clear();
    }

    // The tab's lists, a record's details, and the category each record is filed under.
    void tabListsDetailsAndFiling() {
        QCOMPARE(test::itemTexts(filter()),
                 QStringList({u"All Records"_s, u"Unfiled"_s}) + kShared);
        QCOMPARE(test::itemTexts(category()), QStringList{u"Unfiled"_s} + kShared);
        test::press(main(), u"cmdLoginsNew"_s);
        QVERIFY(!main()->isVisible());
        QCOMPARE(form(), kNewTitle + u"|||||||Unfiled"_s);
        type(u"gmail"_s, u"Email"_s, u"a"_s, u"pq"_s, u"n1\nn2"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList{kCreated});
        QVERIFY(dialogs().shown[0].icon == MessageIcon::Information &&
                dialogs().shown[0].title == u"Keystead"_s);
        QVERIFY(!editor()->isVisible() && main()->isVisible());
        for (const QString& line : {u"empty|"_s, u"blank|  "_s, u"lower|unfiled"_s,
                                    u"steam|Games"_s, u"origin|GAMES"_s, u"office|work"_s}) {
            QVERIFY(create(line.section(u'|', 0, 0), line.section(u'|', 1)));
        }
        // Values of one and two characters are shown like any other; a refill empties them.
        select(u"gmail"_s);
        QCOMPARE(details(main()), u"a|pq||n1\nn2"_s);
        chooseFilter(u"Email"_s);
        QCOMPARE(listed(), QStringList{u"gmail"_s});
        QCOMPARE(details(main()), u"|||"_s);
        chooseFilter(u"Unfiled"_s);
        QCOMPARE(listed(), QStringList({u"empty"_s, u"blank"_s, u"lower"_s}));
        // A known name in another letter case files under the category as it is spelled.
        chooseFilter(u"Work"_s);
        QCOMPARE(listed(), QStringList{u"office"_s});
        // "Games" is new: one of anna's categories in every list, after the shared ones, once.
        const QStringList own = kShared + QStringList{u"Games"_s};
        QCOMPARE(test::itemTexts(filter()).mid(2) + test::itemTexts(category()).mid(1), own + own);
        chooseFilter(u"Games"_s);
        // From a category's filter, a new record is proposed under that category; Cancel drops it.
        main()->findChild<QAction*>(u"mnuNewEntry"_s)->trigger();
        QCOMPARE(category()->currentText(), u"Games"_s);
        type(u"dropped"_s, u"Games"_s);
        test::press(editor(), u"cmdCancel"_s);
        QCOMPARE(listed(), QStringList({u"steam"_s, u"origin"_s}));
    }

    // Every field but the short name keeps its spaces through details, editor and save.
    void shortNamesUniqueOnCreateAndEdit() {
        QVERIFY(create(u"Gmail"_s));
        session->switchUser(u"bert"_s);
        QVERIFY(create(u"other"_s));
        dialogs().clear();
        // Another user's name in another letter case: refused, the editor keeps what was typed.
        test::press(main(), u"cmdLoginsNew"_s);
        type(u"GMAIL"_s, u"Email"_s, u" me "_s, u" pw x "_s, u"  n  "_s);
        on<QPlainTextEdit>(editor(), u"txtDescription"_s)->setPlainText(u" d "_s);
        test::press(editor(), u"cmdSaveClose"_s);
        QCOMPARE(form(), kNewTitle + u"|GMAIL| me | pw x | d |  n  | pw x |Email"_s);
        // A name of 3 characters: refused, and cmdSaveNew does not empty the editor.
        shortNameBox()->setText(u"ATM"_s);
        test::press(editor(), u"cmdSaveNew"_s);
        QCOMPARE(form(), kNewTitle + u"|ATM| me | pw x | d |  n  | pw x |Email"_s);
        // A blank name and differing passwords are refused too.
        shortNameBox()->setText(u"   "_s);
        test::press(editor(), u"cmdSaveClose"_s);
        shortNameBox()->setText(u"bank"_s);
        on(editor(), u"txtPassword2"_s)->setText(u"PW"_s);
        test::press(editor(), u"cmdSaveNew"_s);
        on(editor(), u"txtPassword2"_s)->setText(u" pw x "_s);
        test::press(editor(), u"cmdSaveClose"_s);
        QCOMPARE(
            dialogs().texts(),
            QStringList({kInUse, kTooShort, u"You must enter a short name for your new record"_s,
                         u"Passwords entered were not identical"_s, kCreated}));
        QCOMPARE(dialogs().shown[1].icon, MessageIcon::Critical);
        for (int i : {0, 2, 3}) {
            QCOMPARE(dialogs().shown[i].icon, MessageIcon::Exclamation);
        }
        select(u"bank"_s);
        QCOMPARE(details(main()), u" me | pw x | d |  n  "_s);

        // A double-click on a line that is not selected edits that record, as the desktop
        // delivers it: a click, then the second press as a double-click.
        dialogs().clear();
        select(u"other"_s);
        const QRect line =
            records()->visualRect(records()->model()->index(listed().indexOf(u"bank"_s), 0));
        QTest::mouseClick(records()->viewport(), Qt::LeftButton, {}, line.center());
        QTest::mouseDClick(records()->viewport(), Qt::LeftButton, {}, line.center());
        QCOMPARE(form(), u"Keystead - Edit Record|bank| me | pw x | d |  n  | pw x |Email"_s);
        QVERIFY(!on<QPushButton>(editor(), u"cmdSaveNew"_s)->isVisible());
        // Editing refuses a name in use, or too short, the same way, keeping what was typed.
        shortNameBox()->setText(u"gmail"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList{kInUse});
        shortNameBox()->setText(u"bnk"_s);
        on<QPlainTextEdit>(editor(), u"txtNotes"_s)->setPlainText(u"  new  "_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList{kTooShort});
        QCOMPARE(form(), u"Keystead - Edit Record|bnk| me | pw x | d |  new  | pw x |Email"_s);
        // A good edit saves silently; the record may take its own name in another case.
        shortNameBox()->setText(u"BANK"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList());
        QCOMPARE(listed(), QStringList({u"other"_s, u"BANK"_s}));
        select(u"BANK"_s);
        QCOMPARE(details(main()), u" me | pw x | d |  new  "_s);
    }

    void completionHintAndSaveNew() {
        QVERIFY(create(u"lathe"_s, u"Workshop"_s));
        chooseFilter(u"Work"_s);
        test::press(main(), u"cmdLoginsNew"_s);
        QComboBox* box = category();
        // Several matches: the last in list order is offered; Enter takes it.
        QCOMPARE(hint(u"wo"_s), u"Workshop"_s);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->currentText() + u'|' + hint(), u"Workshop|Workshop (hidden)"_s);
        // Typed in full in another case: the hint steps to "Work", then hides; leaving the box
        // adopts the known spelling.
        QCOMPARE(hint(u"wORK"_s), u"Work (hidden)"_s);
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &leave);
        QCOMPARE(box->currentText(), u"Work"_s);
        // Leaving does not complete a part of a name; a click on the hint takes it.
        QCOMPARE(hint(u"sHo"_s), u"Shopping"_s);
        QApplication::sendEvent(box, &leave);
        QCOMPARE(box->currentText(), u"sHo"_s);
        QCOMPARE(hint(u"sHo"_s), u"Shopping"_s);
        QTest::mouseClick(on<QLabel>(editor(), u"lblHint"_s), Qt::LeftButton);
        QCOMPARE(box->currentText() + u'|' + hint(), u"Shopping|Shopping (hidden)"_s);

        type(u"first"_s, u"Work"_s, u"u1"_s, u"p1"_s, u"n1"_s);
        on<QPlainTextEdit>(editor(), u"txtDescription"_s)->setPlainText(u"d1"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveNew"_s), QStringList{kCreated});
        QCOMPARE(form(), kNewTitle + u"|||||||Work"_s);
        // A hint that no longer begins with what is typed goes at once, so Enter keeps the typed
        // name; the hint never lies over another control.
        QCOMPARE(hint(u"S"_s), u"Shopping"_s);
        QWidget* panel = on<QWidget>(editor(), u"pctHint"_s);
        for (QWidget* other : editor()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != panel && other->isVisible()) {
                QVERIFY2(!other->geometry().intersects(panel->geometry()),
                         qPrintable(other->objectName()));
            }
        }
        QTest::keyClicks(box, u"treaming"_s);
        QCOMPARE(hint(), u"Shopping (hidden)"_s);
        QTest::keyClick(box, Qt::Key_Return);
        // The new category refills the lists; the editor keeps it.
        shortNameBox()->setText(u"second"_s);
        QCOMPARE(pressed(editor(), u"cmdSaveNew"_s), QStringList{kCreated});
        QCOMPARE(category()->currentText(), u"Streaming"_s);
        // The close box is Cancel while the program runs: what was typed is dropped.
        type(u"dropped"_s, u"Work"_s);
        QVERIFY(!editor()->close());
        QVERIFY(!editor()->isVisible() && main()->isVisible());
        QCOMPARE(filter()->currentText(), u"Work"_s);
        QCOMPARE(listed(), QStringList{u"first"_s});
        chooseFilter(u"Streaming"_s);
        QCOMPARE(listed(), QStringList{u"second"_s});
    }

    void deletingRecords() {
        for (const QString& name : {u"alpha"_s, u"beta"_s, u"gamma"_s}) {
            QVERIFY(create(name));
        }
        dialogs().clear();
        test::press(main(), u"cmdLoginsEdit"_s);
        main()->findChild<QAction*>(u"mnuEditEntry"_s)->trigger();
        const QString toEdit = u"You must select a record to edit."_s;
        QCOMPARE(dialogs().texts(), QStringList({toEdit, toEdit}));
        QCOMPARE(dialogs().shown[0].icon, MessageIcon::Information);
        QVERIFY(!editor()->isVisible());
        select(u"alpha"_s);
        dialogs().answer(false).answer(true);
        QCOMPARE(pressed(main(), u"cmdLoginsDelete"_s), QStringList{kDeleteRecord + u"alpha"_s});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Question);
        QCOMPARE(listed().size(), 3);
        QVERIFY(!state().DataDeleted);
        test::press(main(), u"cmdLoginsDelete"_s);
        QCOMPARE(listed(), QStringList({u"beta"_s, u"gamma"_s}));
        QVERIFY(state().DataDeleted);
        select(u"gamma"_s);
        dialogs().answer(true).answer(true);
        QTest::keyClick(records(), Qt::Key_Delete);
        QCOMPARE(dialogs().texts().last(), kDeleteRecord + u"gamma"_s);
        QCOMPARE(listed(), QStringList{u"beta"_s});
        select(u"beta"_s);
        main()->findChild<QAction*>(u"mnuDeleteEntry"_s)->trigger();
        QVERIFY(listed().isEmpty());
    }

    void manageCategoriesWindow() {
        QVERIFY(create(u"fishing"_s, u"Hobby"_s));
        QVERIFY(create(u"lathe"_s, u"Tools"_s));
        session->switchUser(u"bert"_s);
        QVERIFY(create(u"knitting"_s, u"Hobby"_s));
        session->switchUser(u"anna"_s);
        chooseFilter(u"Tools"_s);
        QVERIFY(!state().DataDeleted);
        const QStringList own = kShared + QStringList{u"Hobby"_s, u"Tools"_s};
        manageCategories([&](QListWidget* list) {
            QWidget* window = list->window();
            QCOMPARE(window->windowTitle(), u"Keystead - Manage Categories"_s);
            QCOMPARE(test::itemTexts(list), own);
            // Add: known names in any case are refused; blank and cancelled answers are ignored.
            dialogs().input(u"wORK"_s).input(u"  "_s).input(std::nullopt);
            dialogs().input(u"Games"_s).input(u"Travel"_s);
            for (int i = 0; i < 5; ++i) {
                test::press(window, u"cmdAdd"_s);
            }
            const QString prompt = u"Please enter the new category name."_s;
            QCOMPARE(dialogs().texts(), QStringList({prompt, u"That category already exists."_s,
                                                     prompt, prompt, prompt, prompt}));
            QCOMPARE(dialogs().shown[0].title, u"Create New Category"_s);
            QCOMPARE(dialogs().shown[1].icon, MessageIcon::Exclamation);
            QCOMPARE(test::itemTexts(list), own + QStringList({u"Games"_s, u"Travel"_s}));
            test::press(window, u"cmdSelectAll"_s);
            QCOMPARE(list->selectedItems().size(), 9);
            test::press(window, u"cmdNone"_s);
            QVERIFY(list->selectedItems().isEmpty());
            // Several at once, a question each: Yes to a shared one, No in the middle.
            dialogs().answer(true).answer(true).answer(false).answer(true);
            QCOMPARE(
                deleteCategories(list, {u"Email"_s, u"Hobby"_s, u"Games"_s, u"Travel"_s}),
                QStringList({kDeleteCategory + u"Email?"_s, kGlobal, kDeleteCategory + u"Hobby?"_s,
                             kDeleteCategory + u"Games?"_s, kDeleteCategory + u"Travel?"_s}));
            QCOMPARE(dialogs().shown[7].icon, MessageIcon::Information);
            QCOMPARE(test::itemTexts(list), kShared + QStringList({u"Tools"_s, u"Games"_s}));
        });
        QVERIFY(state().DataDeleted);
        // Every list is refilled; the filter stays on its category, which has moved up.
        QCOMPARE(test::itemTexts(filter()).mid(2), kShared + QStringList({u"Tools"_s, u"Games"_s}));
        QCOMPARE(filter()->currentText(), u"Tools"_s);
        QCOMPARE(listed(), QStringList{u"lathe"_s});
        chooseFilter(u"Unfiled"_s);
        QCOMPARE(listed(), QStringList{u"fishing"_s});

        // A shared category alone is only warned about: nothing deleted, DataDeleted untouched.
        // The close box is Close.
        state().DataDeleted = false;
        manageCategories(
            [&](QListWidget* list) {
                dialogs().answer(true);
                QCOMPARE(deleteCategories(list, {u"Work"_s}),
                         QStringList({kDeleteCategory + u"Work?"_s, kGlobal}));
                QCOMPARE(list->count(), 7);
            },
            true);
        QVERIFY(!state().DataDeleted);
        QCOMPARE(filter()->currentText(), u"Unfiled"_s);
        // Its category gone, the filter falls back to "All Records", not to the one now in its
        // place.
        chooseFilter(u"Tools"_s);
        manageCategories([&](QListWidget* list) {
            dialogs().answer(true);
            deleteCategories(list, {u"Tools"_s});
        });
        QCOMPARE(filter()->currentIndex(), 0);
        QCOMPARE(listed(), QStringList({u"fishing"_s, u"lathe"_s}));
        // bert's category of the same name and its record are untouched.
        session->switchUser(u"bert"_s);
        QCOMPARE(test::itemTexts(filter()).mid(2), kShared + QStringList{u"Hobby"_s});
        chooseFilter(u"Hobby"_s);
        QCOMPARE(listed(), QStringList{u"knitting"_s});
    }
    // The editor's passwords are masked until shown; the generator fills both boxes, or neither.
    void passwordsMaskedAndGenerated() {
        test::press(main(), u"cmdLoginsNew"_s);
        QLineEdit* password = on(editor(), u"txtPassword"_s);
        QLineEdit* repeat = on(editor(), u"txtPassword2"_s);
        password->setText(u" pw x "_s);
        repeat->setText(u" pw x "_s);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(repeat->echoMode(), QLineEdit::Password);
        auto* reveal = editor()->findChild<QAction*>(u"txtPasswordReveal"_s);
        reveal->trigger();
        QCOMPARE(password->displayText(), u" pw x "_s);
        QCOMPARE(repeat->displayText(), u" pw x "_s);
        reveal->trigger();
        QCOMPARE(repeat->echoMode(), QLineEdit::Password);
        QVERIFY(test::press(editor(), u"cmdGeneratePassword"_s));
        QVERIFY(test::press(test::window(u"frmPasswordGenerator"_s), u"cmdCancelGenerate"_s));
        QCOMPARE(password->text(), u" pw x "_s);
        QTRY_VERIFY(test::window(u"frmPasswordGenerator"_s) == nullptr);

        QVERIFY(test::press(editor(), u"cmdGeneratePassword"_s));
        QWidget* generator = test::window(u"frmPasswordGenerator"_s);
        QVERIFY(generator != nullptr && generator->isVisible());
        auto* generated = on(generator, u"txtGenerated"_s);
        QCOMPARE(generated->text().size(), 20);
        QVERIFY(on<QLabel>(generator, u"lblStrength"_s)->text().contains(u"129 bits"_s));
        on<QSpinBox>(generator, u"spnLength"_s)->setValue(8);
        for (const char* kind : {"chkUpper", "chkLower", "chkSymbols"}) {
            on<QCheckBox>(generator, QString::fromLatin1(kind))->setChecked(false);
        }
        QVERIFY(QRegularExpression(u"^[0-9]{8}$"_s).match(generated->text()).hasMatch());
        on<QCheckBox>(generator, u"chkDigits"_s)->setChecked(false);
        QVERIFY(generated->text().isEmpty());
        QVERIFY(!on<QPushButton>(generator, u"cmdUse"_s)->isEnabled());
        on<QCheckBox>(generator, u"chkLower"_s)->setChecked(true);
        const QString chosen = generated->text();
        QVERIFY(test::press(generator, u"cmdUse"_s));
        QVERIFY(!generator->isVisible());
        QCOMPARE(password->text(), chosen);
        QCOMPARE(repeat->text(), chosen);
    }

    // What a search finds is the store's to say; here the box, its keys and the category.
    void searchBoxNarrowsTheListWithinTheCategory() {
        addRecordsToSearch();
        records()->setFocus();
        QTRY_VERIFY(records()->hasFocus());
        QTest::keyClick(records(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(search()->hasFocus());
        QTest::keyClicks(search(), u"ANNA"_s);
        QCOMPARE(listed(), QStringList({u"Bank of Ærø"_s, u"Webmail"_s}));
        chooseFilter(u"Email"_s);
        QCOMPARE(listed(), QStringList{u"Webmail"_s});
        QTest::keyClick(search(), Qt::Key_Escape);
        QVERIFY(search()->text().isEmpty());
        QCOMPARE(listed(), QStringList({u"Webmail"_s, u"Chess club"_s}));
        QVERIFY(dialogs().shown.isEmpty());
        // The search stays through the editor and finds the record saved there.
        chooseFilter(u"All Records"_s);
        search()->setText(u"club"_s);
        QVERIFY(create(u"Golf CLUB"_s));
        QCOMPARE(search()->text(), u"club"_s);
        QCOMPARE(listed(), QStringList({u"Chess club"_s, u"Golf CLUB"_s}));
        QTest::keyClick(search(), Qt::Key_Down);
        QCOMPARE(on(main(), u"txtUserName"_s)->text(), u"knight"_s);
        // The next user starts with an empty box and their own records only.
        session->switchUser(u"bert"_s);
        QVERIFY(search()->text().isEmpty());
        QCOMPARE(listed(), QStringList{u"Bert's mail"_s});
        // The texts searched are read ahead from every login, the box without the focus, till
        // all are read.
        const auto* ahead = main()->findChild<QTimer*>(u"searchAhead"_s);
        logOut();
        QTRY_VERIFY(!ahead->isActive());
        session->logIn(u"anna"_s);
        QVERIFY(!search()->hasFocus());
        QVERIFY(ahead->isActive());
        QTRY_VERIFY(!ahead->isActive());
        search()->setText(u"knight"_s);
        QCOMPARE(listed(), QStringList{u"Chess club"_s});
    }

    // Markup and very long names: shown as the characters they are, in windows of sane size.
    void hostileNamesKeepWindowsSane() {
        const QString markup = u"<b>x</b>"_s;
        const QString lengthy = QString(1000, u'L');
        const QSize mainBefore = main()->minimumSizeHint();
        const QSize filterBefore = filter()->sizeHint();
        QVERIFY(create(u"plain"_s, u"Email"_s));
        select(u"plain"_s);
        test::press(main(), u"cmdLoginsEdit"_s);
        const QSize editorBefore = editor()->minimumSizeHint();
        test::press(editor(), u"cmdCancel"_s);
        QVERIFY(create(u"marked"_s, markup));
        QVERIFY(create(u"lengthy"_s, lengthy));
        // The windows and the filter are as wide as without these names.
        QCOMPARE(main()->minimumSizeHint(), mainBefore);
        QCOMPARE(filter()->sizeHint(), filterBefore);
        // An entry's tooltip shows it whole, as plain characters.
        QTextDocument tip;
        tip.setHtml(filter()->itemData(filter()->findText(markup), Qt::ToolTipRole).toString());
        QCOMPARE(tip.toPlainText(), markup);
        select(u"lengthy"_s);
        test::press(main(), u"cmdLoginsEdit"_s);
        QCOMPARE(category()->currentText(), lengthy);
        QCOMPARE(editor()->minimumSizeHint(), editorBefore);
        // The hint offers the long name without widening the window, and shows markup as text.
        const int width = editor()->width();
        QCOMPARE(hint(u"LLL"_s), lengthy);
        QCOMPARE(editor()->width(), width);
        QCOMPARE(hint(u"<b"_s), markup);
        for (const QLabel* label : editor()->findChildren<QLabel*>()) {
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        }
        test::press(editor(), u"cmdCancel"_s);
    }

    // The clipboard on its own (its mark and time are the copy buttons' test): what is never
    // cleared, whether the time is up or a logout asks for it at once.
    void secretClipboardClearsOnlyItsOwnSecret() {
        SecretClipboard secrets;
        QSignalSpy cleared(&secrets, &SecretClipboard::secretCleared);
        secrets.setClearAfter(50ms);
        // Something copied since is the user's: it stays.
        secrets.copySecret(u"s3cret"_s);
        clipboard()->setText(u"mine"_s);
        QTest::qWait(200);
        QCOMPARE(clipboard()->text(), u"mine"_s);
        QVERIFY(!secrets.clearSecret());
        QCOMPARE(cleared.size(), 0);

        // A plain copy carries no mark, and the secret before it is no longer waited for.
        secrets.copySecret(u"s3cret"_s);
        secrets.copyText(u"s3cret"_s);
        QVERIFY(!secrets.holdsSecret());
        QCOMPARE(clipboardHint(), QByteArray());
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
        addRecordsToCopy();
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
        // The password leaves the clipboard after its time, and the status bar says so.
        secrets()->setClearAfter(100ms);
        select(u"bank login"_s);
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        QCOMPARE(clipboard()->text(), u"b4nk"_s);
        QTRY_VERIFY(clipboard()->text().isEmpty());
        QCOMPARE(status(), kPasswordCleared);
    }

    // The keys and the list's menu; its copy items are the keys' actions.
    void keysAndMenuOfTheList() {
        addRecordsToCopy();
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
        QCOMPARE(captions.join(u'|'),
                 u"Copy &User Name|Copy &Password||&Edit Record|&Delete Record"_s);
        menu->hide();
        dialogs().answer(false);
        menu->findChild<QAction*>(u"mnuDeleteRecord"_s)->trigger();
        QCOMPARE(dialogs().texts(), QStringList{kDeleteRecord + u"mail account"_s});

        menu->findChild<QAction*>(u"mnuEditRecord"_s)->trigger();
        QCOMPARE(form().section(u'|', 0, 1), u"Keystead - Edit Record|mail account"_s);
        QVERIFY(test::press(editor(), u"cmdCancel"_s));
    }

    void anotherUsersRecordIsNeverCopied() {
        const qint64 mailCounter = addRecordsToCopy();
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
        QVERIFY(!listed().contains(u"mail account"_s));
        QCOMPARE(copying(u"cmdCopyUserName"_s), u"before||"_s + kNoneSelected);
    }

    // A description and a note of one very long line each show whole in the details and the
    // editor, are typed into and saved as they are; the boxes hold such a line in pieces, so that
    // no key waits for the whole line to be laid out. Input beyond the longest text is refused.
    void longLinesShowWholeAndSaveAsTyped() {
        const QString note = u"note <b>ß</b> "_s.repeated(10000);
        const QString description = u"Straße "_s.repeated(10000).trimmed();
        const qint64 counter = add(u"anna"_s, {u"long one"_s, {}, {}, description, note, {}});
        session->program->mainWindow()->activateFromProgram();
        select(u"long one"_s);
        QCOMPARE(details(main()), u"||"_s + description + u'|' + note);
        for (const char* name : {"txtDescription", "txtNotes"}) {
            const QTextDocument* document =
                on<QPlainTextEdit>(main(), QString::fromLatin1(name))->document();
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                QVERIFY2(block.length() <= 4097, name);
            }
        }
        QVERIFY(test::press(main(), u"cmdLoginsEdit"_s));
        QCOMPARE(details(editor()), u"||"_s + description + u'|' + note);
        auto* notes = on<QPlainTextEdit>(editor(), u"txtNotes"_s);
        notes->setFocus();
        notes->moveCursor(QTextCursor::End);
        QTest::keyClicks(notes, u"Ende"_s);
        // A paste that would make the note longer than 2,000,000 characters is refused.
        notes->selectAll();
        clipboard()->setText(QString(2000001, u'z'));
        notes->paste();
        clipboard()->clear();
        QCOMPARE(dialogs().texts(),
                 QStringList{u"A description, a note or a journal entry holds at most 2,000,000 "
                             u"characters. What you typed or pasted would make this one longer, "
                             u"so it was not added."_s});
        QCOMPARE(dialogs().shown.last().icon, MessageIcon::Exclamation);
        dialogs().clear();
        QVERIFY(pressed(editor(), u"cmdSaveClose"_s).isEmpty());
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        const RecordFields saved =
            RecordStore(database).ShowRecord(EncryptField(u"anna"_s), counter).value()->fields;
        QCOMPARE(saved.notes, note + u"Ende"_s);
        QCOMPARE(saved.description, description);
    }

    // The details' password is masked until shown; a logout masks it again, and a logout or a
    // quit takes a copied password away.
    void detailsPasswordIsMaskedUntilShown() {
        addRecordsToCopy();
        select(u"mail account"_s);
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);
        QCOMPARE(shownPassword()->text(), kMailPassword);  // held, only not shown
        auto* reveal = main()->findChild<QAction*>(u"txtPasswordReveal"_s);
        QVERIFY(test::press(main(), u"cmdRevealPassword"_s));  // the eye beside the box
        QCOMPARE(shownPassword()->displayText(), kMailPassword);
        reveal->trigger();
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);

        reveal->trigger();
        select(u"bank login"_s);
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);

        // So does the next session.
        reveal->trigger();
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        logOut();
        QCOMPARE(shownPassword()->echoMode(), QLineEdit::Password);
        QVERIFY(clipboard()->text().isEmpty());
        QVERIFY(status().isEmpty());
        session->logIn(u"anna"_s);
        QVERIFY(!reveal->isChecked());
        select(u"bank login"_s);
        QVERIFY(test::press(main(), u"cmdCopyPassword"_s));
        session->program->QuitApplication();
        QVERIFY(clipboard()->text().isEmpty());
    }
};

QTEST_MAIN(VaultGuiTest)
#include "tst_vault_gui.moc"
