// The search box of the Password Vault tab, driven end to end.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

class VaultSearchTest : public test::SessionTest {
    Q_OBJECT

    QLineEdit* search() { return test::control<QLineEdit>(main(), u"txtSearchRecords"_s); }
    QListView* records() { return test::control<QListView>(main(), u"lstPasswords"_s); }
    QComboBox* filter() { return test::control<QComboBox>(main(), u"cmbCategories"_s); }
    QStringList listed() { return test::itemTexts(records()); }
    // Adds a record for `owner` the way another running copy would.
    void add(const QString& owner, const RecordFields& fields) {
        DatabaseAccess other(session->env.databasePath(), PassPhrase());
        RecordStore store(other);
        QCOMPARE(store.CreateRecord(EncryptField(owner), fields).outcome, SaveOutcome::Saved);
    }

private Q_SLOTS:
    void init() {
        startSession();
        add(u"anna"_s, {u"Bank of Ærø"_s, u"anna.k"_s, u"pw"_s, {}, {}, {}});
        add(u"anna"_s, {u"Webmail"_s, u"ANNA"_s, u"pw"_s, {}, {}, u"Email"_s});
        add(u"anna"_s, {u"Chess club"_s, u"knight"_s, u"pw"_s, {}, {}, u"Email"_s});
        add(u"bert"_s, {u"Bert's mail"_s, u"anna"_s, u"pw"_s, {}, {}, {}});
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        QVERIFY(test::press(test::window(u"Form2"_s), u"cmdCancel"_s));
        QCOMPARE(listed().size(), 3);
    }
    void cleanup() {
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().texts().join(u'\n')));
        endSession();
    }

    // What is searched for is the store's to say; here the box, its keys and the category.
    void typingNarrowsTheListWithinTheCategory() {
        records()->setFocus();
        QTRY_VERIFY(records()->hasFocus());
        QTest::keyClick(records(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(search()->hasFocus());
        QTest::keyClicks(search(), u"ANNA"_s);
        QCOMPARE(listed(), QStringList({u"Bank of Ærø"_s, u"Webmail"_s}));
        filter()->setCurrentText(u"Email"_s);
        QCOMPARE(listed(), QStringList{u"Webmail"_s});
        // Esc empties the box: the category's whole list again.
        QTest::keyClick(search(), Qt::Key_Escape);
        QVERIFY(search()->text().isEmpty());
        QCOMPARE(listed(), QStringList({u"Webmail"_s, u"Chess club"_s}));
    }

    void textsAreReadAheadFromEveryLogin() {
        const auto* ahead = main()->findChild<QTimer*>(u"searchAhead"_s);
        QVERIFY(ahead != nullptr);
        state().CompactPolicy = 0;
        session->logOut();
        QVERIFY(!ahead->isActive());
        // Reading starts with the login, without the box ever having the focus, and ends.
        session->logIn(u"anna"_s);
        QVERIFY(!search()->hasFocus());
        QVERIFY(ahead->isActive());
        QTRY_VERIFY(!ahead->isActive());
        search()->setText(u"knight"_s);
        QCOMPARE(listed(), QStringList{u"Chess club"_s});
    }

    void searchStaysThroughTheEditorAndFindsNewRecords() {
        search()->setText(u"club"_s);
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        QWidget* editor = test::window(u"Form2"_s);
        test::control<QLineEdit>(editor, u"txtShortName"_s)->setText(u"Golf CLUB"_s);
        QVERIFY(test::press(editor, u"cmdSaveClose"_s));
        dialogs().clear();
        QCOMPARE(search()->text(), u"club"_s);
        QCOMPARE(listed(), QStringList({u"Chess club"_s, u"Golf CLUB"_s}));
        // Down goes from the box to the list; the first line's record is shown.
        QTest::keyClick(search(), Qt::Key_Down);
        QCOMPARE(test::control<QLineEdit>(main(), u"txtUserName"_s)->text(), u"knight"_s);
        // The next user starts with an empty box and their own records only.
        session->switchUser(u"bert"_s);
        QVERIFY(search()->text().isEmpty());
        QCOMPARE(listed(), QStringList{u"Bert's mail"_s});
    }
};

QTEST_MAIN(VaultSearchTest)
#include "tst_vault_search.moc"
