// The vault's password generator: lengths, kinds of character, refusals, strength and the
// freshness of its draws.
#include <QtTest>

#include "vault/PasswordGenerator.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// Which kinds of character a password holds: upper case, lower case, digits, symbols.
QList<bool> kindsIn(const QString& password) {
    QList<bool> kinds(4, false);
    for (QChar c : password) {
        kinds[c.isUpper() ? 0 : c.isLower() ? 1 : c.isDigit() ? 2 : 3] = true;
    }
    return kinds;
}

}  // namespace

class PasswordGeneratorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The password generator: lengths, character kinds, refusals and freshness of its draws.
    void kindsLengthsRefusalsAndStrength() {
        const QList<PasswordClasses> choices = {
            {true, true, true, true},   {true, false, false, false}, {false, false, true, false},
            {false, true, false, true}, {true, true, true, false},
        };
        for (const PasswordClasses& classes : choices) {
            // The shortest possible password still holds one of each chosen kind.
            for (int length : {classes.count(), 4, 20, kLongestGeneratedPassword}) {
                for (int round = 0; round < 50; ++round) {
                    const std::optional<QString> password = generatePassword(length, classes);
                    QVERIFY(password.has_value());
                    QCOMPARE(password->size(), length);
                    QCOMPARE(kindsIn(*password), QList<bool>({classes.upper, classes.lower,
                                                              classes.digits, classes.symbols}));
                    for (QChar c : *password) {
                        QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f &&
                                     c != QLatin1Char('"') && c != QLatin1Char('\'') &&
                                     c != QLatin1Char('\\'),
                                 qPrintable(*password));
                    }
                }
            }
        }
        // Impossible requests are refused; the strength of possible ones follows the alphabet.
        QVERIFY(!generatePassword(20, {false, false, false, false}).has_value());
        QVERIFY(!generatePassword(3, {true, true, true, true}).has_value());
        QVERIFY(!generatePassword(0, {true, false, false, false}).has_value());
        QVERIFY(!generatePassword(kLongestGeneratedPassword + 1, {}).has_value());
        QCOMPARE(passwordStrengthBits(20, {false, false, false, false}), 0);
        // 10 digits: log2(10) = 3.32 bits a character.
        QCOMPARE(passwordStrengthBits(10, {false, false, true, false}), 33);
        // 26 + 26 + 10 = 62 letters and digits: 5.95 bits a character.
        QCOMPARE(passwordStrengthBits(20, {true, true, true, false}), 119);
        QVERIFY(passwordStrengthBits(20, {}) > passwordStrengthBits(20, {true, true, true, false}));
    }

    void drawsDoNotRepeat() {
        QSet<QString> seen;
        for (int i = 0; i < 10000; ++i) {
            seen.insert(*generatePassword(kDefaultPasswordLength, {}));
        }
        QCOMPARE(seen.size(), 10000);
        // Even short passwords are spread over the alphabet: 2,000 draws of 6 digits (a
        // million values) almost never repeat more than a few times.
        QSet<QString> shortOnes;
        for (int i = 0; i < 2000; ++i) {
            shortOnes.insert(*generatePassword(6, {false, false, true, false}));
        }
        QVERIFY(shortOnes.size() > 1980);
    }
};

QTEST_GUILESS_MAIN(PasswordGeneratorTest)
#include "tst_password_generator.moc"
