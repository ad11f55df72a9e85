#pragma once

#include <QStringView>

namespace ks {

// How TextBox cuts a text into the paragraphs its document holds: at every line break, and
// within a long line into pieces.

// A long line is cut into pieces about this long; a paragraph grown beyond twice as long is cut
// again. The toolkit lays out a piece of that size in well under a millisecond.
constexpr qsizetype kPieceLength = 2048;
constexpr qsizetype kLongestPiece = 2 * kPieceLength;

// The characters the document takes for the end of a paragraph ("\r\n" is one break).
inline bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
           c == QChar(0xFDD1);
}

// Where the piece of `line` that begins at `from` ends: at the line's end when the rest is short
// enough, else after a space near the piece length, else at the piece length but never inside a
// character or before a combining mark.
qsizetype pieceEnd(QStringView line, qsizetype from);

// Whether a line of `text` is too long for one paragraph.
bool hasLongLine(QStringView text);

enum class Break { None, Line, Piece };

// Calls `take(piece, before)` for the pieces of `text` in order, each with what parts it from
// the piece before: nothing (the first), a line break, or a cut of a long line.
template <typename Take>
void forEachPiece(QStringView text, Take&& take) {
    Break before = Break::None;
    qsizetype lineStart = 0;
    while (true) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !isLineBreak(text[lineEnd])) {
            ++lineEnd;
        }
        const QStringView line = text.sliced(lineStart, lineEnd - lineStart);
        for (qsizetype from = 0;;) {
            const qsizetype to = pieceEnd(line, from);
            take(line.sliced(from, to - from), before);
            if (to == line.size()) {
                break;
            }
            before = Break::Piece;
            from = to;
        }
        if (lineEnd == text.size()) {
            return;
        }
        before = Break::Line;
        const bool crLf =
            text[lineEnd] == u'\r' && lineEnd + 1 < text.size() && text[lineEnd + 1] == u'\n';
        lineStart = lineEnd + (crLf ? 2 : 1);
    }
}

}  // namespace ks
