#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "protection/FieldBinding.h"
#include "protection/SecretBytes.h"

namespace ks {

// Text values of a protected account. A sealed value is self-describing text: the prefix
// "ks1:" and then, in base64, a random nonce, the cipher text and the tag of
// XChaCha20-Poly1305 under the account's data key, bound to where the value lives.
inline constexpr QLatin1StringView kSealedTextPrefix{"ks1:"};

// The stored form of `plain` (any text, the empty one included).
QString sealText(const SecretBytes& dataKey, QStringView plain, const FieldBinding& where);
// The text sealed in `stored`; nullopt when it was not sealed with this key for this place, or
// was changed in any way.
std::optional<QString> openText(const SecretBytes& dataKey, QStringView stored,
                                const FieldBinding& where);

// Whether a stored text has the sealed form (says nothing of whether it opens).
bool looksSealed(QStringView stored);

}  // namespace ks
