// The Password Vault tab, the record editor and the category window of a protected account:
// what they save is sealed with the account's key, and what they show is what was typed.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "StoredBytes.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "vault/RecordStore.h"
#include "widgets/TextBox.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kCreated = u"Record was successfully created."_s;
const QString kInUse =
    u"The 'Short Name' entered is already in use.  Please enter a different 'Short Name'."_s;
const QStringList kShared = {u"Banking"_s, u"Email"_s, u"Internet"_s, u"Shopping"_s, u"Work"_s};

template <typename T = QLineEdit>
T* on(QWidget* root, const QString& name) {
    return test::control<T>(root, name);
}

}  // namespace

class VaultProtectedGuiTest : public test::SessionTest {
    Q_OBJECT

    QWidget* editor() { return test::window(u"Form2"_s); }
    QComboBox* filter() { return on<QComboBox>(main(), u"cmbCategories"_s); }
    QStringList listed() { return test::itemTexts(on<QListView>(main(), u"lstPasswords"_s)); }
    // Creates a record through the editor; whether it said so.
    bool create(const RecordFields& f) {
        test::press(main(), u"cmdLoginsNew"_s);
        on(editor(), u"txtShortName"_s)->setText(f.shortName);
        on(editor(), u"txtUserName"_s)->setText(f.userName);
        on(editor(), u"txtPassword"_s)->setText(f.password);
        on(editor(), u"txtPassword2"_s)->setText(f.password);
        on<QPlainTextEdit>(editor(), u"txtDescription"_s)->setPlainText(f.description);
        on<QPlainTextEdit>(editor(), u"txtNotes"_s)->setPlainText(f.notes);
        on<QComboBox>(editor(), u"cmbCategory"_s)->setEditText(f.category);
        return pressed(editor(), u"cmdSaveClose"_s) == QStringList{kCreated};
    }
    // User name, password, description and notes as the tab shows them.
    QStringList details() {
        return {on(main(), u"txtUserName"_s)->text(), on(main(), u"txtPassword"_s)->text(),
                documentText(on<QPlainTextEdit>(main(), u"txtDescription"_s)->document()),
                documentText(on<QPlainTextEdit>(main(), u"txtNotes"_s)->document())};
    }

private Q_SLOTS:
    void init() {
        startSession(u"carol"_s);
        DatabaseAccess database(session->env.databasePath(), PassPhrase());
        state().CurrentAccount = test::protectedAccount(database, u"carol"_s);
        QVERIFY(state().CurrentAccount.isProtected());
    }
    void cleanup() { endSession(); }

    void whatTheWindowsSaveIsSealed() {
        const RecordFields typed{u"  Ключ <b>密码</b>  "_s,      u" анна@example.org "_s,
                                 u"  <b>pw</b> & \"q\" 密码 "_s, u"Παράδειγμα "_s.repeated(90),
                                 u"line one\n  <i>two</i>  "_s,  u"Ταξίδια <i>"_s};
        QVERIFY(create(typed));
        const QString name = typed.shortName.trimmed();
        QCOMPARE(listed(), QStringList{name});
        QVERIFY(test::selectText(on<QListView>(main(), u"lstPasswords"_s), name));
        QCOMPARE(details(),
                 QStringList({typed.userName, typed.password, typed.description, typed.notes}));
        QCOMPARE(test::itemTexts(filter()).mid(2), kShared + QStringList{typed.category});
        filter()->setCurrentText(u"Work"_s);
        QCOMPARE(listed(), QStringList());
        filter()->setCurrentText(typed.category);
        QCOMPARE(listed(), QStringList{name});
        // The same name again is refused: the account's own names count.
        test::press(main(), u"cmdLoginsNew"_s);
        on(editor(), u"txtShortName"_s)->setText(name.toUpper());
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s), QStringList{kInUse});
        test::press(editor(), u"cmdCancel"_s);
        QCOMPARE(listed(), QStringList{name});

        // A category added in the category window is sealed too.
        auto ran = test::whenModal(u"Form5"_s, [&](QWidget* window) {
            dialogs().input(u"Hobby & <u>more</u>"_s);
            test::press(window, u"cmdAdd"_s);
            QCOMPARE(test::itemTexts(on<QListWidget>(window, u"lstCategories"_s)).last(),
                     u"Hobby & <u>more</u>"_s);
            QVERIFY(test::press(window, u"cmdClose"_s));
        });
        test::press(main(), u"cmdLoginsManageCategories"_s);
        QVERIFY(*ran);
        dialogs().clear();
        QCOMPARE(test::itemTexts(filter()).last(), u"Hobby & <u>more</u>"_s);

        QStringList found;
        const QStringList values = {
            name,        typed.userName, typed.password,          typed.description,
            typed.notes, typed.category, u"Hobby & <u>more</u>"_s};
        for (const QString& value : values) {
            for (const QString& form : {value, EncryptField(value)}) {
                if (test::databaseHoldsText(session->env.databasePath(), form)) {
                    found << form.left(40);
                }
            }
        }
        QCOMPARE(found, QStringList());
    }

    // After a login the texts searched are read while the window is idle, a small step now and
    // then, and at every pause once the search box has the focus; a search that comes first
    // finds every record all the same, whichever of its three texts holds the words.
    void searchRightAfterLoginFindsEveryRecord() {
        QVERIFY(
            create({u"Harbour office"_s, QString(), u"pw1"_s, QString(), QString(), QString()}));
        QVERIFY(
            create({u"Lantern"_s, u"harbourmaster"_s, u"pw2"_s, QString(), QString(), QString()}));
        QVERIFY(create(
            {u"Lighthouse"_s, QString(), u"pw3"_s, u"near the HARBOUR"_s, QString(), QString()}));
        QVERIFY(
            create({u"Unrelated"_s, u"someone"_s, u"pw4"_s, u"elsewhere"_s, QString(), QString()}));
        const QStringList found = {u"Harbour office"_s, u"Lantern"_s, u"Lighthouse"_s};
        auto* search = on(main(), u"txtSearchRecords"_s);
        auto* ahead = main()->findChild<QTimer*>(u"searchAhead"_s);
        for (const bool focused : {false, true}) {
            session->logOut();
            QTRY_VERIFY(!ahead->isActive());
            session->logIn(u"carol"_s, u"correct horse battery"_s);
            QVERIFY(state().CurrentAccount.isProtected());
            QVERIFY(ahead->interval() > 0);
            if (focused) {
                search->setFocus();
                QTRY_VERIFY(search->hasFocus());
                QCOMPARE(ahead->interval(), 0);
                QTRY_VERIFY(!ahead->isActive());
            }
            search->setText(u"harb"_s);
            QCOMPARE(listed(), found);
            search->clear();
        }
    }

    // A long list shows its lines before their values are all open: the lines in view, a line
    // chosen far down, a search and a filter show what they would with every value open, while
    // the rest opens a step at a time in the idle moments.
    void longListShowsLinesBeforeAllOpen() {
        constexpr int kCount = 1000;
        {
            DatabaseAccess database(session->env.databasePath(), PassPhrase());
            QVERIFY(test::addNumberedRecords(database, state().CurrentAccount, kCount));
        }
        auto* ahead = main()->findChild<QTimer*>(u"listingAhead"_s);
        auto* searchAhead = main()->findChild<QTimer*>(u"searchAhead"_s);
        QVERIFY(ahead != nullptr);
        session->logOut();
        session->logIn(u"carol"_s, u"correct horse battery"_s);
        // The values open after the search's texts are read.
        QVERIFY(searchAhead->isActive() && !ahead->isActive());
        auto* list = on<QListView>(main(), u"lstPasswords"_s);
        const QModelIndex shown = list->model()->index(kCount - 3, 0);
        list->scrollTo(shown);
        list->viewport()->grab();
        QVERIFY(list->viewport()->rect().intersects(list->visualRect(shown)));
        QCOMPARE(shown.data().toString(), u"Record %1"_s.arg(shown.row()));
        list->setCurrentIndex(shown);
        QCOMPARE(on(main(), u"txtCounter"_s)->text(), shown.data(Qt::UserRole).toString());
        dialogs().answer(false);
        test::press(main(), u"cmdLoginsDelete"_s);
        QCOMPARE(
            dialogs().texts(),
            QStringList{u"Are you sure you want to delete record:  Record %1"_s.arg(shown.row())});
        dialogs().clear();

        // A search that could not wait for every text lists again once they are read; a slower
        // machine shows the first lines found before that.
        on(main(), u"txtSearchRecords"_s)->setText(u"record 99"_s);
        QStringList found{u"Record 99"_s};
        for (int i = 990; i < kCount; ++i) {
            found.append(u"Record %1"_s.arg(i));
        }
        QTRY_COMPARE(listed(), found);
        on(main(), u"txtSearchRecords"_s)->clear();
        filter()->setCurrentText(u"Work"_s);
        QCOMPARE(listed().size(), (kCount + 2) / 3);
        QCOMPARE(listed().last(), u"Record 999"_s);
        filter()->setCurrentIndex(0);
        QTRY_VERIFY(!searchAhead->isActive() && !ahead->isActive());
        QStringList all;
        for (int i = 0; i < kCount; ++i) {
            all.append(u"Record %1"_s.arg(i));
        }
        QCOMPARE(listed(), all);
    }
};

QTEST_MAIN(VaultProtectedGuiTest)
#include "tst_vault_protected_gui.moc"
