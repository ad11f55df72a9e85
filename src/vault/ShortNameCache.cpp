#include "vault/ShortNameCache.h"

#include "crypto/FieldCipher.h"

namespace ks {

namespace {
// Far beyond any real vault; only a bound on memory.
constexpr qsizetype kMostEntries = 500000;
}  // namespace

const ShortNameCache::Name& ShortNameCache::name(const QString& cipherText) {
    if (cipherText.isEmpty()) {
        failed_ = {};
        return failed_;
    }
    if (const auto found = names_.constFind(cipherText); found != names_.cend()) {
        return found.value();
    }
    Name decrypted;
    decrypted.plain = DecryptField(cipherText);
    decrypted.key = comparisonKey(decrypted.plain);
    // A failed decryption is not remembered, so that it is tried (and reported) again.
    if (decrypted.plain.isEmpty()) {
        failed_ = decrypted;
        return failed_;
    }
    if (names_.size() >= kMostEntries) {
        names_.clear();
    }
    return names_.insert(cipherText, std::move(decrypted)).value();
}

}  // namespace ks
