#include "files/CabinetListing.h"

#include <QFile>
#include <QtEndian>

namespace ks {

namespace {

// Offsets in the cabinet header and in each file entry.
constexpr qint64 kHeaderBytes = 36;
constexpr int kCabinetSize = 8;
constexpr int kFilesOffset = 16;
constexpr int kFileCount = 28;
constexpr int kFlags = 30;
constexpr quint16 kMultiVolume = 0x0001 | 0x0002;
constexpr quint16 kReservePresent = 0x0004;
constexpr qint64 kEntryFixedBytes = 16;
constexpr int kEntryAttributes = 14;
constexpr quint16 kNameIsUtf8 = 0x80;
// Enough for the header and the entries of a handful of files.
constexpr qint64 kMostHeaderBytes = 64 * 1024;

quint16 u16(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 u32(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// The entry at `at`, moving `at` past it; nullopt when it runs past the bytes read.
std::optional<CabinetEntry> readEntry(const QByteArray& bytes, qint64& at) {
    if (at + kEntryFixedBytes >= bytes.size()) {
        return std::nullopt;
    }
    const qint64 nameStart = at + kEntryFixedBytes;
    const qint64 nameEnd = bytes.indexOf('\0', nameStart);
    if (nameEnd < 0) {
        return std::nullopt;
    }
    const QByteArray raw = bytes.mid(nameStart, nameEnd - nameStart);
    const bool utf8 = (u16(bytes, at + kEntryAttributes) & kNameIsUtf8) != 0;
    CabinetEntry entry{utf8 ? QString::fromUtf8(raw) : QString::fromLatin1(raw), u32(bytes, at)};
    at = nameEnd + 1;
    return entry;
}

}  // namespace

std::optional<QList<CabinetEntry>> readCabinetEntries(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMostHeaderBytes);
    if (bytes.size() < kHeaderBytes || !bytes.startsWith("MSCF") ||
        u32(bytes, kCabinetSize) != static_cast<quint64>(file.size())) {
        return std::nullopt;
    }
    // Archives of this program are single cabinets without reserved areas.
    if ((u16(bytes, kFlags) & (kMultiVolume | kReservePresent)) != 0) {
        return std::nullopt;
    }
    qint64 at = u32(bytes, kFilesOffset);
    QList<CabinetEntry> entries;
    for (int i = 0; i < u16(bytes, kFileCount); ++i) {
        std::optional<CabinetEntry> entry = readEntry(bytes, at);
        if (!entry) {
            return std::nullopt;
        }
        entries.append(*entry);
    }
    return entries;
}

}  // namespace ks
