#pragma once

#include <QByteArray>
#include <QStringView>

#include "protection/SecretBytes.h"

namespace ks {

// How a pass phrase is stretched into a key-encryption key: Argon2id with a random salt and the
// cost chosen when the account was protected, stored with the account.
struct KdfParams {
    QByteArray salt;  // 16 random bytes
    quint64 opsLimit = 0;
    quint64 memLimit = 0;  // bytes

    bool valid() const;
};

// The least memory a pass phrase of a real account is ever stretched with.
inline constexpr quint64 kLeastKdfMemory = 64ull * 1024 * 1024;
// The memory chosen for new accounts.
inline constexpr quint64 kKdfMemory = 128ull * 1024 * 1024;

// Fresh parameters: a new salt, `memLimit` bytes, and as many passes as take about `targetMs`
// on this machine (at least one).
KdfParams calibrateKdf(int targetMs = 500, quint64 memLimit = kKdfMemory);

// The same cost with a new salt (for a change of pass phrase).
KdfParams withNewSalt(const KdfParams& params);

// The 32-byte key-encryption key for a pass phrase; empty when it cannot be worked out (the
// parameters are unusable or the memory is not there).
SecretBytes deriveKeyEncryptionKey(QStringView passPhrase, const KdfParams& params);

}  // namespace ks
