#include "protection/PassPhraseStrength.h"

#include <sodium.h>
#include <zxcvbn.h>

#include <QByteArray>
#include <cmath>

namespace ks {

PassPhraseStrength estimateStrength(const QString& passPhrase) {
    QByteArray utf8 = passPhrase.toUtf8();
    PassPhraseStrength strength;
    strength.bits = ZxcvbnMatch(utf8.constData(), nullptr, nullptr);
    sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
    // The thresholds of zxcvbn's own score (guesses of 10^3, 10^6, 10^8, 10^10), in bits.
    const double log2of10 = std::log2(10.0);
    using Verdict = PassPhraseStrength::Verdict;
    strength.verdict = strength.bits < 3 * log2of10    ? Verdict::VeryWeak
                       : strength.bits < 6 * log2of10  ? Verdict::Weak
                       : strength.bits < 8 * log2of10  ? Verdict::Fair
                       : strength.bits < 10 * log2of10 ? Verdict::Strong
                                                       : Verdict::VeryStrong;
    return strength;
}

QString describeStrength(const PassPhraseStrength& strength) {
    using Verdict = PassPhraseStrength::Verdict;
    QString word;
    switch (strength.verdict) {
        case Verdict::VeryWeak:
            word = QStringLiteral("very weak");
            break;
        case Verdict::Weak:
            word = QStringLiteral("weak");
            break;
        case Verdict::Fair:
            word = QStringLiteral("fair");
            break;
        case Verdict::Strong:
            word = QStringLiteral("strong");
            break;
        case Verdict::VeryStrong:
            word = QStringLiteral("very strong");
            break;
    }
    return QStringLiteral("Strength: %1 (%2 bits)").arg(word).arg(qRound(strength.bits));
}

}  // namespace ks
