#include "vault/PasswordGenerator.h"

#include <QRandomGenerator>
#include <QStringList>
#include <cmath>

namespace ks {

namespace {

const QString kUpper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const QString kLower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
const QString kDigits = QStringLiteral("0123456789");
// Printable symbols without space, quotes and backslash, which are easy to mistype or get
// mangled when pasted into forms and shells.
const QString kSymbols = QStringLiteral("!#$%&()*+,-./:;<=>?@[]^_{|}~");

QStringList chosenAlphabets(const PasswordClasses& classes) {
    QStringList alphabets;
    if (classes.upper) {
        alphabets << kUpper;
    }
    if (classes.lower) {
        alphabets << kLower;
    }
    if (classes.digits) {
        alphabets << kDigits;
    }
    if (classes.symbols) {
        alphabets << kSymbols;
    }
    return alphabets;
}

bool canGenerate(int length, const PasswordClasses& classes) {
    return classes.count() > 0 && length >= classes.count() && length <= kLongestGeneratedPassword;
}

QChar drawFrom(const QString& alphabet, QRandomGenerator& random) {
    return alphabet.at(qsizetype(random.bounded(quint32(alphabet.size()))));
}

}  // namespace

std::optional<QString> generatePassword(int length, const PasswordClasses& classes) {
    if (!canGenerate(length, classes)) {
        return std::nullopt;
    }
    // QRandomGenerator::system() reads the operating system's cryptographic source, and its
    // bounded() draws without modulo bias.
    QRandomGenerator& random = *QRandomGenerator::system();
    const QStringList alphabets = chosenAlphabets(classes);
    const QString everything = alphabets.join(QString());

    QString password;
    password.reserve(length);
    for (const QString& alphabet : alphabets) {
        password.append(drawFrom(alphabet, random));
    }
    while (password.size() < length) {
        password.append(drawFrom(everything, random));
    }
    // Shuffle so that the guaranteed characters do not sit at the front.
    for (qsizetype i = password.size() - 1; i > 0; --i) {
        const auto j = qsizetype(random.bounded(quint32(i + 1)));
        const QChar kept = password.at(i);
        password[i] = password.at(j);
        password[j] = kept;
    }
    return password;
}

int passwordStrengthBits(int length, const PasswordClasses& classes) {
    if (!canGenerate(length, classes)) {
        return 0;
    }
    const qsizetype alphabetSize = chosenAlphabets(classes).join(QString()).size();
    return int(std::floor(length * std::log2(double(alphabetSize))));
}

}  // namespace ks
