#pragma once

#include <QLocale>
#include <QString>

namespace ks {

// The longest description, note or journal entry that typing or pasting may make, in
// characters. Up to this length a value shows in a box within a tenth of a second, whatever
// its lines, and a key in it costs a few milliseconds; a longer value an older database holds
// still shows whole, only more slowly.
constexpr qsizetype kLongestText = 2000000;

// Says that input was refused because the text would grow beyond kLongestText.
inline QString textTooLongMessage() {
    return QStringLiteral(
               "A description, a note or a journal entry holds at most %1 "
               "characters. What you typed or pasted would make this one longer, "
               "so it was not added.")
        .arg(QLocale(QLocale::English).toString(kLongestText));
}

}  // namespace ks
