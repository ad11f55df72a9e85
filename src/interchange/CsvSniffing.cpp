#include "interchange/CsvSniffing.h"

#include "interchange/CsvMessages.h"

namespace ks {

namespace {

constexpr qint64 kLookBytes = 8 * 1024;

// Control bytes that text does not hold (tabs, line breaks and form feeds are text).
bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || byte == 0x7F;
}

// ASCII as UTF-16 without a byte-order mark: every other byte is NUL.
bool looksLikeUtf16(const QByteArray& head) {
    if (head.size() < 4) {
        return false;
    }
    qint64 evenNul = 0;
    qint64 oddNul = 0;
    for (qint64 i = 0; i < head.size(); ++i) {
        if (head[i] == '\0') {
            ++(i % 2 == 0 ? evenNul : oddNul);
        }
    }
    const qint64 half = head.size() / 2;
    const auto most = [half](qint64 n) { return n * 10 >= half * 9; };
    const auto few = [half](qint64 n) { return n * 10 <= half; };
    return (most(evenNul) && few(oddNul)) || (most(oddNul) && few(evenNul));
}

}  // namespace

std::optional<CsvError> sniffText(const QByteArray& whole) {
    const QByteArray head = whole.first(qMin(whole.size(), kLookBytes));
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        return csvmsg::utf16();
    }
    if (head.startsWith("\x03\xD9\xA2\x9A")) {
        return csvmsg::keePassDatabase();
    }
    if (head.startsWith("PK\x03\x04")) {
        return csvmsg::zipArchive();
    }
    if (looksLikeUtf16(head)) {
        return csvmsg::utf16();
    }
    // One stray control character is a fault of a line, which the reader names; many of them
    // make a binary file.
    const qint64 controls = std::count_if(head.cbegin(), head.cend(), isControl);
    if (controls >= 8 && controls * 20 >= head.size()) {
        return csvmsg::binary();
    }
    return std::nullopt;
}

qint64 utf8BomLength(const QByteArray& head) {
    return head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

}  // namespace ks
