#include "protection/TextSeal.h"

#include <sodium.h>

#include "protection/Sodium.h"

namespace ks {

namespace {

constexpr qsizetype kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

}  // namespace

QByteArray FieldBinding::associatedData() const {
    QByteArray data("keystead-field-v1");
    data.append('\0').append(table.data(), table.size());
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
    // Only the one text that sealing writes is taken: base64 leaves a few bits of its last
    // character unused, and another character there would read as the same bytes.
    if (!decoded || decoded.decoded.size() < kNonceBytes + kTagBytes ||
        decoded.decoded.toBase64() != encoded) {
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
