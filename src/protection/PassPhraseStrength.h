#pragma once

#include <QString>

namespace ks {

// How hard a pass phrase is to guess, as zxcvbn estimates it (dictionary words, keyboard
// patterns, repeats and dates count for little).
struct PassPhraseStrength {
    enum class Verdict { VeryWeak, Weak, Fair, Strong, VeryStrong };
    double bits = 0;  // estimated entropy
    Verdict verdict = Verdict::VeryWeak;
};

PassPhraseStrength estimateStrength(const QString& passPhrase);

// The figure as the Options tab shows it, e.g. "Strength: fair (52 bits)".
QString describeStrength(const PassPhraseStrength& strength);

}  // namespace ks
