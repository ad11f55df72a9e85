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

}  // namespace ks
