#include "sync/SyncNames.h"

#include <sodium.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

#include "protection/Sodium.h"

namespace ks::syncing {

namespace {

constexpr qsizetype kDeviceIdBytes = 16;
constexpr qint64 kHashChunk = 1 << 20;

bool isLowerHex(const QString& text, qsizetype length) {
    if (text.size() != length) {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
}

}  // namespace

bool isDeviceId(const QString& name) {
    return isLowerHex(name, kDeviceIdBytes * 2);
}

QString newDeviceId() {
    QByteArray bytes(kDeviceIdBytes, Qt::Uninitialized);
    if (sodiumReady()) {
        randombytes_buf(bytes.data(), size_t(bytes.size()));
    }
    return QString::fromLatin1(bytes.toHex());
}

std::optional<SyncFileName> parseSyncFileName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{12})\\.([0-9a-f]{64})\\.(ksc|kss)$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    SyncFileName parsed{name, match.captured(1).toLongLong(), match.captured(2),
                        match.captured(3) == QLatin1String("kss")};
    if (parsed.sequence < 1) {
        return std::nullopt;
    }
    return parsed;
}

QString sequenceText(qint64 sequence) {
    return QStringLiteral("%1").arg(sequence, 12, 10, QLatin1Char('0'));
}

QString syncFileName(qint64 sequence, const QString& hash, bool snapshot) {
    return QStringLiteral("%1.%2.%3")
        .arg(sequenceText(sequence), hash,
             snapshot ? QStringLiteral("kss") : QStringLiteral("ksc"));
}

QString partFileName(qint64 sequence) {
    return QStringLiteral(".%1.part").arg(sequenceText(sequence));
}

QString bytesHash(const QByteArray& bytes) {
    QByteArray digest(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(digest.data()), size_t(digest.size()),
                       bytesOf(bytes), size_t(bytes.size()), nullptr, 0);
    return QString::fromLatin1(digest.toHex());
}

Result<QString> fileHash(const QString& path) {
    QFile file(path);
    if (!sodiumReady() || !file.open(QIODevice::ReadOnly)) {
        return DbStatus{DbCode::CannotOpen, QStringLiteral("%1 cannot be read").arg(path)};
    }
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kHashChunk);
        if (chunk.isEmpty()) {
            return DbStatus{DbCode::IoError, QStringLiteral("%1 cannot be read").arg(path)};
        }
        crypto_generichash_update(&state, bytesOf(chunk), size_t(chunk.size()));
    }
    QByteArray digest(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash_final(&state, reinterpret_cast<unsigned char*>(digest.data()),
                             size_t(digest.size()));
    return QString::fromLatin1(digest.toHex());
}

QList<SyncFileName> deviceFiles(const QString& folder, QStringList* others) {
    QList<SyncFileName> files;
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (std::optional<SyncFileName> parsed = parseSyncFileName(name)) {
            files.append(*parsed);
        } else if (others && !name.startsWith(QLatin1Char('.'))) {
            others->append(name);
        }
    }
    std::sort(files.begin(), files.end(), [](const SyncFileName& a, const SyncFileName& b) {
        return a.sequence != b.sequence ? a.sequence < b.sequence : a.name < b.name;
    });
    return files;
}

}  // namespace ks::syncing
