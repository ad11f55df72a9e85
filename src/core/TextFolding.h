#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace ks {

// Text as the searches compare it: letter case folded with the full Unicode case folding ("ß"
// and "ss", "İ" and "i" alike, "Σ" and "ς" and "σ" too), and every run of white space (spaces,
// tabs, line breaks, no-break spaces …) one space. A search finds a text when the folded text
// holds the folded search text.
QString foldedForSearch(QStringView text);

// The same folding of a UTF-8 text, appended to `out` as UTF-8. Plain ASCII, most of what is
// searched, is folded here at a fraction of the cost of the general folding.
void appendFoldedUtf8(QByteArray& out, QByteArrayView utf8);

// A part of a text, in the text's own positions (UTF-16 units).
struct TextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};

// Where `text` first holds `foldedNeedle` (already folded with foldedForSearch) when both are
// folded, as a span of `text` that covers every character the match came from; nullopt when it
// does not hold it, or when the needle is empty.
std::optional<TextSpan> findFolded(QStringView text, QStringView foldedNeedle);

}  // namespace ks
