// Additions to the record editor: the password generator and showing or masking passwords.
#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "Session.h"

using namespace ks;
using namespace Qt::StringLiterals;

class VaultExtrasTest : public test::SessionTest {
    Q_OBJECT

    QWidget* editor() { return test::window(u"Form2"_s); }
    template <typename T = QLineEdit>
    T* on(QWidget* root, const QString& name) {
        return test::control<T>(root, name);
    }
    QLineEdit* password() { return on(editor(), u"txtPassword"_s); }
    QLineEdit* repeat() { return on(editor(), u"txtPassword2"_s); }

private Q_SLOTS:
    void init() {
        startSession();
        QVERIFY(test::press(main(), u"cmdLoginsNew"_s));
        QVERIFY(editor()->isVisible());
    }
    void cleanup() { endSession(); }

    void passwordsAreMaskedUntilShown() {
        password()->setText(u" pw x "_s);
        repeat()->setText(u" pw x "_s);
        QCOMPARE(password()->echoMode(), QLineEdit::Password);
        QCOMPARE(repeat()->echoMode(), QLineEdit::Password);
        auto* reveal = editor()->findChild<QAction*>(u"txtPasswordReveal"_s);
        reveal->trigger();
        QCOMPARE(password()->displayText(), u" pw x "_s);
        QCOMPARE(repeat()->displayText(), u" pw x "_s);
        reveal->trigger();
        QCOMPARE(repeat()->echoMode(), QLineEdit::Password);
        QCOMPARE(password()->text(), u" pw x "_s);  // the value never changes
    }

    // Use fills both boxes, as if typed, for the usual save.
    void generatedPasswordFillsBothBoxes() {
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
        // With no kind chosen nothing can be used.
        on<QCheckBox>(generator, u"chkDigits"_s)->setChecked(false);
        QVERIFY(generated->text().isEmpty());
        QVERIFY(!on<QPushButton>(generator, u"cmdUse"_s)->isEnabled());
        on<QCheckBox>(generator, u"chkLower"_s)->setChecked(true);
        const QString chosen = generated->text();
        QVERIFY(test::press(generator, u"cmdUse"_s));
        QVERIFY(!generator->isVisible());
        QCOMPARE(password()->text(), chosen);
        QCOMPARE(repeat()->text(), chosen);
    }

    void cancelKeepsWhatWasTyped() {
        password()->setText(u"mine"_s);
        QVERIFY(test::press(editor(), u"cmdGeneratePassword"_s));
        QVERIFY(test::press(test::window(u"frmPasswordGenerator"_s), u"cmdCancelGenerate"_s));
        QCOMPARE(password()->text(), u"mine"_s);
    }
};

QTEST_MAIN(VaultExtrasTest)
#include "tst_vault_extras.moc"
