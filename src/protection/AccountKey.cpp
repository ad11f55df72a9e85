#include "protection/AccountKey.h"

#include <sodium.h>

#include "protection/Sodium.h"

namespace ks {

namespace {

constexpr char kVersion = 1;
constexpr qsizetype kDataKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr qsizetype kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr qsizetype kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr qsizetype kWrappedBytes = 1 + kNonceBytes + kDataKeyBytes + kTagBytes;

QByteArray wrap(const SecretBytes& kek, const SecretBytes& dataKey, QByteArrayView binding) {
    QByteArray wrapped(kWrappedBytes, Qt::Uninitialized);
    wrapped[0] = kVersion;
    auto* nonce = reinterpret_cast<unsigned char*>(wrapped.data() + 1);
    randombytes_buf(nonce, kNonceBytes);
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + kNonceBytes, nullptr, dataKey.data(), dataKey.size(), bytesOf(binding),
        static_cast<unsigned long long>(binding.size()), nullptr, nonce, kek.data());
    return wrapped;
}

}  // namespace

QByteArray accountKeyBinding(QByteArrayView ownerValue, QByteArrayView userUuid) {
    QByteArray binding("keystead-account-key-v1");
    binding.append('\0').append(ownerValue).append('\0').append(userUuid);
    return binding;
}

std::optional<NewAccountKey> createAccountKey(QStringView passPhrase, const KdfParams& kdf,
                                              QByteArrayView binding) {
    if (!sodiumReady()) {
        return std::nullopt;
    }
    SecretBytes dataKey(kDataKeyBytes);
    const SecretBytes kek = deriveKeyEncryptionKey(passPhrase, kdf);
    if (dataKey.empty() || kek.empty()) {
        return std::nullopt;
    }
    randombytes_buf(dataKey.data(), dataKey.size());
    NewAccountKey made{{kdf, wrap(kek, dataKey, binding)}, std::move(dataKey)};
    return made;
}

SecretBytes unlockAccountKey(QStringView passPhrase, const AccountKeyRecord& record,
                             QByteArrayView binding) {
    const QByteArray& wrapped = record.wrappedKey;
    if (wrapped.size() != kWrappedBytes || wrapped[0] != kVersion) {
        return {};
    }
    const SecretBytes kek = deriveKeyEncryptionKey(passPhrase, record.kdf);
    SecretBytes dataKey(kDataKeyBytes);
    if (kek.empty() || dataKey.empty()) {
        return {};
    }
    const unsigned char* nonce = bytesOf(wrapped) + 1;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            dataKey.data(), nullptr, nullptr, nonce + kNonceBytes, kDataKeyBytes + kTagBytes,
            bytesOf(binding), static_cast<unsigned long long>(binding.size()), nonce,
            kek.data()) != 0) {
        return {};
    }
    return dataKey;
}

std::optional<AccountKeyRecord> rewrapAccountKey(const SecretBytes& dataKey,
                                                 QStringView newPassPhrase, const KdfParams& kdf,
                                                 QByteArrayView binding) {
    if (dataKey.size() != kDataKeyBytes) {
        return std::nullopt;
    }
    const SecretBytes kek = deriveKeyEncryptionKey(newPassPhrase, kdf);
    if (kek.empty()) {
        return std::nullopt;
    }
    return AccountKeyRecord{kdf, wrap(kek, dataKey, binding)};
}

}  // namespace ks
