#include "protection/TextSeal.h"

#include <sodium.h>

#include "protection/Sodium.h"

namespace ks {

namespace {

constexpr qsizetype kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

// Whether `encoded` is the one text sealing writes for `bytes`. Base64 leaves a few bits of its
// last character unused, and another character there would read as the same bytes; padding may
// be left off, cut short or put elsewhere. With the length right and padding only in the last
// two places, every group of four characters but the last stands for its three bytes and nothing
// else (the decoding took only base64 characters), so only the last group needs writing again.
bool isSealingsOwnBase64(QByteArrayView encoded, QByteArrayView bytes) {
    constexpr qsizetype kGroup = 4;
    if (encoded.size() % kGroup != 0 || encoded.size() / kGroup != (bytes.size() + 2) / 3) {
        return false;
    }
    if (const qsizetype pad = encoded.indexOf('='); pad >= 0 && pad < encoded.size() - 2) {
        return false;
    }
    const qsizetype lastBytes = bytes.size() - (encoded.size() / kGroup - 1) * 3;
    return bytes.last(lastBytes).toByteArray().toBase64() == encoded.last(kGroup);
}

}  // namespace

QByteArray FieldBinding::associatedData() const {
    // Made once for every value opened: one allocation, no growing.
    constexpr QByteArrayView kPrefix("keystead-field-v1");
    QByteArray data;
    data.reserve(kPrefix.size() + table.size() + column.size() + rowUuid.size() + 3);
    data.append(kPrefix).append('\0').append(table.data(), table.size());
    data.append('\0').append(column.data(), column.size());
    data.append('\0').append(rowUuid);
    return data;
}

bool looksSealed(QStringView stored) {
    return stored.startsWith(kSealedTextPrefix);
}

QString sealText(const SecretBytes& dataKey, QStringView plain, const FieldBinding& where) {
    if (!sodiumReady() || dataKey.size() != crypto_aead_xchacha20poly1305_ietf_KEYBYTES) {
        return {};
    }
    QByteArray message = plain.toUtf8();
    const QByteArray ad = where.associatedData();
    QByteArray sealed(kNonceBytes + message.size() + kTagBytes, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(sealed.data());
    randombytes_buf(nonce, kNonceBytes);
    unsigned long long cipherBytes = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + kNonceBytes, &cipherBytes,
        reinterpret_cast<const unsigned char*>(message.constData()),
        static_cast<unsigned long long>(message.size()),
        reinterpret_cast<const unsigned char*>(ad.constData()),
        static_cast<unsigned long long>(ad.size()), nullptr, nonce, dataKey.data());
    sodium_memzero(message.data(), static_cast<std::size_t>(message.size()));
    return kSealedTextPrefix + QString::fromLatin1(sealed.toBase64());
}

std::optional<QString> openText(const SecretBytes& dataKey, QStringView stored,
                                const FieldBinding& where) {
    if (!sodiumReady() || !looksSealed(stored) ||
        dataKey.size() != crypto_aead_xchacha20poly1305_ietf_KEYBYTES) {
        return std::nullopt;
    }
    const QByteArray encoded = stored.mid(kSealedTextPrefix.size()).toLatin1();
    const auto decoded =
        QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() < kNonceBytes + kTagBytes ||
        !isSealingsOwnBase64(encoded, decoded.decoded)) {
        return std::nullopt;
    }
    const QByteArray& sealed = decoded.decoded;
    const QByteArray ad = where.associatedData();
    QByteArray message(sealed.size() - kNonceBytes - kTagBytes, Qt::Uninitialized);
    unsigned long long messageBytes = 0;
    const auto* nonce = reinterpret_cast<const unsigned char*>(sealed.constData());
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(message.data()), &messageBytes, nullptr,
            nonce + kNonceBytes, static_cast<unsigned long long>(sealed.size() - kNonceBytes),
            reinterpret_cast<const unsigned char*>(ad.constData()),
            static_cast<unsigned long long>(ad.size()), nonce, dataKey.data()) != 0) {
        return std::nullopt;
    }
    QString plain = QString::fromUtf8(message.constData(), static_cast<qsizetype>(messageBytes));
    sodium_memzero(message.data(), static_cast<std::size_t>(message.size()));
    return plain;
}

}  // namespace ks
