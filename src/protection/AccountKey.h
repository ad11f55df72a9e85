#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <optional>

#include "protection/PassPhraseKey.h"
#include "protection/SecretBytes.h"

namespace ks {

// What a protected account stores of its key: how its pass phrase is stretched, and its random
// data key wrapped (XChaCha20-Poly1305) under the stretched pass phrase. Nothing in it lets a
// guess be checked faster than the stretching itself: the only check is the unwrap.
struct AccountKeyRecord {
    KdfParams kdf;
    QByteArray wrappedKey;  // version, nonce, cipher text and tag
};

// The account a key belongs to: its owner value and its row identity. The wrapped key is bound
// to it, so a key row copied onto another account does not open.
QByteArray accountKeyBinding(QByteArrayView ownerValue, QByteArrayView userUuid);

struct NewAccountKey {
    AccountKeyRecord record;
    SecretBytes dataKey;
};

// A fresh random data key, wrapped under `passPhrase` stretched with `kdf`; nullopt when the
// stretching cannot be done (memory).
std::optional<NewAccountKey> createAccountKey(QStringView passPhrase, const KdfParams& kdf,
                                              QByteArrayView binding);

// The data key; empty when the pass phrase is not the account's, or the record is damaged or
// belongs to another account.
SecretBytes unlockAccountKey(QStringView passPhrase, const AccountKeyRecord& record,
                             QByteArrayView binding);

// The same data key wrapped under a new pass phrase (nothing else is encrypted again).
std::optional<AccountKeyRecord> rewrapAccountKey(const SecretBytes& dataKey,
                                                 QStringView newPassPhrase, const KdfParams& kdf,
                                                 QByteArrayView binding);

}  // namespace ks
