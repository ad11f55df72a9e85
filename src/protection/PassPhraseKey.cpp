#include "protection/PassPhraseKey.h"

#include <sodium.h>

#include <QElapsedTimer>
#include <algorithm>

#include "protection/Sodium.h"

namespace ks {

namespace {

constexpr int kKeyEncryptionKeyBytes = 32;
constexpr quint64 kMostPasses = 64;

QByteArray newSalt() {
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), static_cast<std::size_t>(salt.size()));
    return salt;
}

}  // namespace

bool KdfParams::valid() const {
    return salt.size() == crypto_pwhash_SALTBYTES && opsLimit >= crypto_pwhash_OPSLIMIT_MIN &&
           opsLimit <= crypto_pwhash_OPSLIMIT_MAX && memLimit >= crypto_pwhash_MEMLIMIT_MIN &&
           memLimit <= crypto_pwhash_MEMLIMIT_MAX;
}

SecretBytes deriveKeyEncryptionKey(QStringView passPhrase, const KdfParams& params) {
    if (!sodiumReady() || !params.valid()) {
        return {};
    }
    // The phrase's bytes live on only in protected memory, wiped when this returns.
    QByteArray utf8 = passPhrase.toUtf8();
    const SecretBytes phrase = SecretBytes::copyOf(utf8);
    sodium_memzero(utf8.data(), static_cast<std::size_t>(utf8.size()));
    SecretBytes key(kKeyEncryptionKeyBytes);
    if (phrase.empty() || key.empty()) {
        return {};
    }
    const int rc = crypto_pwhash(
        key.data(), key.size(), reinterpret_cast<const char*>(phrase.data()),
        static_cast<unsigned long long>(phrase.size()),
        reinterpret_cast<const unsigned char*>(params.salt.constData()), params.opsLimit,
        static_cast<std::size_t>(params.memLimit), crypto_pwhash_ALG_ARGON2ID13);
    return rc == 0 ? std::move(key) : SecretBytes();
}

KdfParams calibrateKdf(int targetMs, quint64 memLimit) {
    KdfParams params{newSalt(), crypto_pwhash_OPSLIMIT_MIN, memLimit};
    if (!sodiumReady()) {
        return params;
    }
    // One pass measured, then as many passes as fit the target; a pass costs about the same each
    // time since the memory is filled once per pass.
    QElapsedTimer timer;
    timer.start();
    const SecretBytes probe = deriveKeyEncryptionKey(u"calibration", params);
    const qint64 onePass = std::max<qint64>(timer.elapsed(), 1);
    if (probe.empty()) {
        return params;
    }
    params.opsLimit = std::clamp<quint64>(static_cast<quint64>(targetMs / onePass),
                                          crypto_pwhash_OPSLIMIT_MIN, kMostPasses);
    return params;
}

KdfParams withNewSalt(const KdfParams& params) {
    KdfParams fresh = params;
    fresh.salt = newSalt();
    return fresh;
}

}  // namespace ks
