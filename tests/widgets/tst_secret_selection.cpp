// Revealed passwords and the X11 primary selection, on a real (virtual) X server: what is
// selected in a text box is offered to every program as the primary selection, which the
// offscreen platform does not have. A selected password never stays there; other text does.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kPassword = u"s3cret <b>pässwörd</b>"_s;
const QString kUserName = u"anna.k@example.org"_s;

QString selection() {
    return QGuiApplication::clipboard()->text(QClipboard::Selection);
}

template <typename T = QLineEdit>
T* on(QWidget* root, const QString& name) {
    return test::control<T>(root, name);
}

// Selects the whole box as a user does: a triple click, then Shift+Home and Shift+End keys.
// The selection each way leaves behind, joined.
QString selectedEveryWay(QLineEdit* box) {
    box->setFocus();
    QTest::mouseDClick(box, Qt::LeftButton);
    QTest::mouseClick(box, Qt::LeftButton);
    QStringList seen{selection()};
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    seen << selection();
    QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    seen << selection();
    return seen.join(u'|');
}

}  // namespace

class SecretSelectionTest : public test::SessionTest {
    Q_OBJECT

    QWidget* editor() { return test::window(u"Form2"_s); }

private Q_SLOTS:
    void init() { startSession(); }
    void cleanup() { endSession(); }

    void revealedPasswordsNeverStayInTheSelection() {
        QVERIFY(QGuiApplication::clipboard()->supportsSelection());
        // A record whose password the details show on request.
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        on(editor(), u"txtShortName"_s)->setText(u"mail account"_s);
        on(editor(), u"txtUserName"_s)->setText(kUserName);
        on(editor(), u"txtPassword"_s)->setText(kPassword);
        on(editor(), u"txtPassword2"_s)->setText(kPassword);
        QCOMPARE(pressed(editor(), u"cmdSaveClose"_s),
                 QStringList{u"Record was successfully created."_s});
        QVERIFY(test::selectText(on<QListView>(main(), u"lstPasswords"_s), u"mail account"_s));

        // Other text still goes to the selection, as everywhere on the desktop.
        QLineEdit* userName = on(main(), u"txtUserName"_s);
        QCOMPARE(selectedEveryWay(userName), QStringList(3, kUserName).join(u'|'));

        QLineEdit* password = on(main(), u"txtPassword"_s);
        QVERIFY(test::press(main(), u"cmdRevealPassword"_s));
        QCOMPARE(password->displayText(), kPassword);
        QCOMPARE(selectedEveryWay(password), u"||"_s);
        QCOMPARE(password->selectedText(), kPassword);  // selected all the same

        // The editor's two boxes, shown, and the generator's password.
        QVERIFY(test::press(main(), u"cmdLoginsEdit"_s));
        editor()->findChild<QAction*>(u"txtPasswordReveal"_s)->trigger();
        for (const QString& name : {u"txtPassword"_s, u"txtPassword2"_s}) {
            QCOMPARE(on(editor(), name)->displayText(), kPassword);
            QCOMPARE(selectedEveryWay(on(editor(), name)), u"||"_s);
        }
        QVERIFY(test::press(editor(), u"cmdGeneratePassword"_s));
        QLineEdit* generated = on(test::window(u"frmPasswordGenerator"_s), u"txtGenerated"_s);
        QVERIFY(!generated->text().isEmpty());
        QCOMPARE(selectedEveryWay(generated), u"||"_s);
        QVERIFY(test::press(test::window(u"frmPasswordGenerator"_s), u"cmdCancelGenerate"_s));
        QVERIFY(test::press(editor(), u"cmdCancel"_s));
    }
};

QTEST_MAIN(SecretSelectionTest)
#include "tst_secret_selection.moc"
