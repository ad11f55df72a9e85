#include "core/TextFolding.h"

#include <unicode/casemap.h>
#include <unicode/edits.h>
#include <unicode/uchar.h>

#include <algorithm>

namespace ks {

namespace {

// The full folding of "İ" is "i" and a combining dot above; the dot is dropped after an "i", so
// that "istanbul" finds "İstanbul" (and a typed "İ" finds "i").
constexpr char16_t kDotAbove = 0x0307;

bool isAsciiSpace(char16_t unit) {
    return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

char16_t asciiLower(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}

char16_t* unitsOf(QString& text) {
    return reinterpret_cast<char16_t*>(text.data());
}

// The text with its letter case folded (full folding); `edits`, when given, records which parts
// changed.
QString caseFolded(QStringView text, icu::Edits* edits) {
    const auto length = static_cast<int32_t>(text.size());
    QString folded(length + length / 4 + 8, Qt::Uninitialized);
    UErrorCode error = U_ZERO_ERROR;
    int32_t needed = icu::CaseMap::fold(U_FOLD_CASE_DEFAULT, text.utf16(), length, unitsOf(folded),
                                        static_cast<int32_t>(folded.size()), edits, error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
        folded.resize(needed);
        error = U_ZERO_ERROR;
        if (edits != nullptr) {
            edits->reset();
        }
        needed = icu::CaseMap::fold(U_FOLD_CASE_DEFAULT, text.utf16(), length, unitsOf(folded),
                                    needed, edits, error);
    }
    if (U_FAILURE(error)) {
        return text.toString();
    }
    folded.truncate(needed);
    return folded;
}

// Walks a case-folded text with every run of white space made one space and the dot above an
// "i" dropped: `keep(unit, at)` for every unit that stays, with its position in `folded`; the
// walk stops when keep answers false.
template <typename Keep>
void walkSqueezed(QStringView folded, Keep&& keep) {
    bool inSpace = false;
    char16_t last = 0;
    const char16_t* units = folded.utf16();
    for (qsizetype at = 0; at < folded.size(); ++at) {
        char16_t unit = units[at];
        const bool space = unit < 0x80 ? isAsciiSpace(unit) : QChar::isSpace(char32_t(unit));
        if (space) {
            if (inSpace) {
                continue;
            }
            unit = u' ';
        } else if (unit == kDotAbove && last == u'i') {
            continue;
        }
        inSpace = space;
        last = unit;
        if (!keep(unit, at)) {
            return;
        }
    }
}

QString squeezed(QStringView folded) {
    QString out(folded.size(), Qt::Uninitialized);
    char16_t* to = unitsOf(out);
    walkSqueezed(folded, [&to](char16_t unit, qsizetype) {
        *to++ = unit;
        return true;
    });
    out.truncate(to - unitsOf(out));
    return out;
}

// Plain ASCII folded and squeezed in one pass; nothing when the text is not plain ASCII.
std::optional<QString> foldedAscii(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    char16_t* to = unitsOf(out);
    bool inSpace = false;
    const char16_t* units = text.utf16();
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = units[at];
        if (unit >= 0x80) {
            return std::nullopt;
        }
        const bool space = isAsciiSpace(unit);
        if (!(space && inSpace)) {
            *to++ = space ? u' ' : asciiLower(unit);
        }
        inSpace = space;
    }
    out.truncate(to - unitsOf(out));
    return out;
}

// Where the units `first` and `last` of the squeezed text stand in `folded`.
std::pair<qsizetype, qsizetype> unsqueezed(QStringView folded, qsizetype first, qsizetype last) {
    std::pair<qsizetype, qsizetype> found{0, 0};
    qsizetype index = 0;
    walkSqueezed(folded, [&](char16_t, qsizetype at) {
        if (index == first) {
            found.first = at;
        }
        found.second = at;
        return index++ < last;
    });
    return found;
}

// The part of the original text that the units `first` to `last` of its folding come from.
TextSpan sourceSpan(const icu::Edits& edits, qsizetype first, qsizetype last) {
    UErrorCode error = U_ZERO_ERROR;
    icu::Edits::Iterator edit = edits.getFineIterator();
    const auto sourceOf = [&](qsizetype unit, bool end) -> qsizetype {
        if (!edit.findDestinationIndex(static_cast<int32_t>(unit), error) || U_FAILURE(error)) {
            return unit;
        }
        if (edit.hasChange()) {
            return edit.sourceIndex() + (end ? edit.oldLength() : 0);
        }
        return edit.sourceIndex() + (unit - edit.destinationIndex()) + (end ? 1 : 0);
    };
    const qsizetype start = sourceOf(first, false);
    return {start, sourceOf(last, true) - start};
}

}  // namespace

QString foldedForSearch(QStringView text) {
    if (std::optional<QString> ascii = foldedAscii(text)) {
        return *ascii;
    }
    return squeezed(caseFolded(text, nullptr));
}

void appendFoldedUtf8(QByteArray& out, QByteArrayView utf8) {
    if (std::any_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) != 0; })) {
        out.append(foldedForSearch(QString::fromUtf8(utf8)).toUtf8());
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + utf8.size());
    char* to = out.data() + start;
    bool inSpace = false;
    for (const char c : utf8) {
        const bool space = isAsciiSpace(static_cast<char16_t>(c));
        if (!(space && inSpace)) {
            *to++ = space ? ' ' : static_cast<char>(asciiLower(static_cast<char16_t>(c)));
        }
        inSpace = space;
    }
    out.truncate(to - out.constData());
}

std::optional<TextSpan> findFolded(QStringView text, QStringView foldedNeedle) {
    if (foldedNeedle.isEmpty()) {
        return std::nullopt;
    }
    // Plain ASCII keeps every position when its case is folded.
    if (const std::optional<QString> ascii = foldedAscii(text)) {
        const qsizetype at = QStringView(*ascii).indexOf(foldedNeedle);
        if (at < 0) {
            return std::nullopt;
        }
        const auto [first, last] = unsqueezed(text, at, at + foldedNeedle.size() - 1);
        return TextSpan{first, last + 1 - first};
    }
    const QString folded = caseFolded(text, nullptr);
    const qsizetype at = QStringView(squeezed(folded)).indexOf(foldedNeedle);
    if (at < 0) {
        return std::nullopt;
    }
    const auto [first, last] = unsqueezed(folded, at, at + foldedNeedle.size() - 1);
    // Folded again, with a record of what changed, only for a text that holds the needle.
    icu::Edits edits;
    caseFolded(text, &edits);
    return sourceSpan(edits, first, last);
}

}  // namespace ks
