#include "widgets/TextPieces.h"

namespace ks {

qsizetype pieceEnd(QStringView line, qsizetype from) {
    if (line.size() - from <= kLongestPiece) {
        return line.size();
    }
    const qsizetype cut = from + kPieceLength;
    for (qsizetype at = cut; at > cut - kPieceLength / 4; --at) {
        if (line[at - 1].isSpace()) {
            return at;
        }
    }
    qsizetype at = cut;
    while (at > from + 1 && (line[at].isLowSurrogate() || line[at].isMark())) {
        --at;
    }
    return at;
}

bool hasLongLine(QStringView text) {
    qsizetype lineStart = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (isLineBreak(text[at])) {
            lineStart = at + 1;
        } else if (at - lineStart >= kLongestPiece) {
            return true;
        }
    }
    return false;
}

}  // namespace ks
