#include <QtTest>

#include "ScriptedDialogs.h"
#include "crypto/CryptoRC4.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"

using ks::MessageIcon;
using ks::test::ScriptedDialogs;

class CipherTest : public QObject {
    Q_OBJECT

    ScriptedDialogs dialogs;
    const QString title = QStringLiteral("Keystead");

    ks::clsCryptoRC4 makeCipher() {
        return ks::clsCryptoRC4([this](MessageIcon icon, const QString& t,
                                       const QString& text) { dialogs.message(icon, t, text); },
                                title);
    }

private Q_SLOTS:
    void init() {
        dialogs.clear();
        ks::setCipherDialogs(&dialogs, title);
    }

    // The last one is a value of 312 bytes, beyond the first 256 bytes of the keystream, against
    // an answer worked out apart from this program (RC4 keyed with the MD5 digest of the pass
    // phrase).
    void knownAnswers() {
        QCOMPARE(ks::EncryptField(QStringLiteral("anna")), QStringLiteral("C12F05C7"));
        // A fresh keystream for every value: "abc" after "anna" begins as "anna" did.
        QCOMPARE(ks::EncryptField(QStringLiteral("abc")), QStringLiteral("C12308"));
        QCOMPARE(ks::EncryptField(QStringLiteral("Work")), QStringLiteral("F72E19CD"));
        QCOMPARE(ks::DecryptField(QStringLiteral("C12F05C7")), QStringLiteral("anna"));
        QString text;
        for (int line = 0; line < 12; ++line) {
            text += QStringLiteral("line %1 of a long value. ").arg(line, 3, 10, QLatin1Char('0'));
        }
        const QString expected = QStringLiteral(
            "CC2805C34118AA09AD90B011070D8702734C8B916BA4982319D4573CBEA7B712DFC46EDE16B5BD02"
            "C1D2D10F159B3D5DAE14C916C7BA8C205D724EBE59FF09D729FEC74C2448F47BF7AC8DF7A478C2DA"
            "B3485FCD5E0018E78D16012717672FE0AD06E3566F6BCC46449694AC9C29B202E08FAF602797A8E3"
            "CB79BC9A4371D83BA8652892FE602892C6240B63B9CA07D3BDE94F7CDB237E1D165486678608F47B"
            "19750C8D3E6895E7B2D4E552A7A02E65281313401549278A3A275F070BD0E4FF21EFCF5A094C9354"
            "4A65A16F3572F321C152A5AE115D43C1C631008686FABEC2066580EF71243F715094174818D76C71"
            "DF33E1B3C15FEBC4321D0042686EB1D3FCEA0BAA7855206292827D2AC135F3651F114D93A79FE7DA"
            "C63E3D668085CA6C763C5044DB00C2DDA31124612DDA3A89762FACEABBE54E6F");
        QCOMPARE(ks::EncryptField(text), expected);
        QCOMPARE(ks::DecryptFieldKeepingSpaces(expected), text);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void hexRules() {
        auto cipher = makeCipher();
        const QString invalid = QStringLiteral("Invalid Hex String in Function: HexToString.");
        // Hex text, its bytes, and whether it is valid (an invalid one is told once).
        const QList<std::tuple<QString, QByteArray, bool>> cases = {
            {QStringLiteral("0a"), {}, false},
            {QStringLiteral("0A"), "\x0a", true},
            {QStringLiteral("ABC"), {}, false},
            {QStringLiteral("0G"), {}, false},
            {QString(), {}, true}};
        for (const auto& [hex, bytes, valid] : cases) {
            const qsizetype before = dialogs.shown.size();
            bool ok = !valid;
            QCOMPARE(cipher.HexToString(hex, &ok), bytes);
            QCOMPARE(ok, valid);
            QCOMPARE(dialogs.shown.size(), before + (valid ? 0 : 1));
        }
        QCOMPARE(dialogs.shown[0].icon, MessageIcon::Critical);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Crypto Error"));
        QCOMPARE(dialogs.shown[0].text, invalid);

        // Every byte value survives hex and the raw one-character-a-byte form.
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            all.append(static_cast<char>(b));
        }
        const QString hex = cipher.StringToHex(all);
        QVERIFY(hex.startsWith(QStringLiteral("000102")));
        QVERIFY(hex.endsWith(QStringLiteral("FEFF")));
        QCOMPARE(cipher.HexToString(hex), all);

        // Decrypting an invalid hex text is the empty string after the hex message.
        QVERIFY(cipher.ACSDecrypt(QStringLiteral("c12f05c7"), ks::PassPhrase(), true).isEmpty());
        QCOMPARE(dialogs.shown.last().text, invalid);
    }

    // Empty inputs are refused with their messages, through a cipher of its own and through the
    // field routines, which show them with the program's title.
    void emptyInputsAreRefusedWithTheirMessages() {
        auto cipher = makeCipher();
        QVERIFY(cipher.ACSEncrypt(QString(), ks::PassPhrase(), true).isEmpty());
        QVERIFY(cipher.ACSEncrypt(QStringLiteral("text"), QString(), true).isEmpty());
        QVERIFY(cipher.ACSDecrypt(QString(), ks::PassPhrase(), true).isEmpty());
        QVERIFY(cipher.ACSDecrypt(QStringLiteral("C1"), QString(), true).isEmpty());
        QVERIFY(ks::EncryptField(QString()).isEmpty());
        const QStringList expected = {QStringLiteral("You have not submitted any PlainText."),
                                      QStringLiteral("You have not submitted a Password."),
                                      QStringLiteral("You have not submitted any CipherText."),
                                      QStringLiteral("You have not submitted a Password."),
                                      QStringLiteral("You have not submitted any PlainText.")};
        QCOMPARE(dialogs.texts(), expected);
        for (const auto& shown : dialogs.shown) {
            QCOMPARE(shown.icon, MessageIcon::None);
            QCOMPARE(shown.title, title);
        }
    }

    // Every character survives, in the hex and the raw form; another pass phrase silently gives
    // other text.
    void roundTripsKeepEveryCharacter() {
        const QStringList texts = {QStringLiteral("Пароль от почты"), QStringLiteral("密码 ümlaut"),
                                   QStringLiteral("key 🔑 here"), QStringLiteral("tab\there\nline"),
                                   QString(5000, QLatin1Char('x'))};
        for (const QString& text : texts) {
            const QString hex = ks::EncryptField(text);
            QCOMPARE(hex.size(), text.toUtf8().size() * 2);
            QVERIFY(hex == hex.toUpper());
            QCOMPARE(ks::DecryptField(hex), text);
        }
        // Decryption strips leading and trailing spaces, nothing else.
        QCOMPARE(ks::DecryptField(ks::EncryptField(QStringLiteral("  padded\t "))),
                 QStringLiteral("padded\t"));
        QCOMPARE(ks::DecryptFieldKeepingSpaces(ks::EncryptField(QStringLiteral("  padded\t "))),
                 QStringLiteral("  padded\t "));
        auto cipher = makeCipher();
        const QString raw = cipher.ACSEncrypt(QStringLiteral("ünïcode"), ks::PassPhrase(), false);
        QCOMPARE(cipher.ACSDecrypt(raw, ks::PassPhrase(), false), QStringLiteral("ünïcode"));
        const QString hex = cipher.ACSEncrypt(QStringLiteral("secret"), ks::PassPhrase(), true);
        QVERIFY(cipher.ACSDecrypt(hex, QStringLiteral("OtherPhrase"), true) !=
                QStringLiteral("secret"));
        QVERIFY(dialogs.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CipherTest)
#include "tst_cipher.moc"
