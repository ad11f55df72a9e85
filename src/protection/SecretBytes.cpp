#include "protection/SecretBytes.h"

#include <sodium.h>

#include <cstring>
#include <utility>

#include "protection/Sodium.h"

namespace ks {

SecretBytes::SecretBytes(std::size_t size) {
    if (size == 0 || !sodiumReady()) {
        return;
    }
    // sodium_malloc locks the pages and surrounds them with guard pages; sodium_free wipes.
    data_ = static_cast<unsigned char*>(sodium_malloc(size));
    if (data_ != nullptr) {
        size_ = size;
        sodium_memzero(data_, size_);
    }
}

SecretBytes SecretBytes::copyOf(QByteArrayView bytes) {
    SecretBytes secret(static_cast<std::size_t>(bytes.size()));
    if (!secret.empty()) {
        std::memcpy(secret.data_, bytes.data(), secret.size_);
    }
    return secret;
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SecretBytes::~SecretBytes() {
    clear();
}

void SecretBytes::clear() {
    if (data_ != nullptr) {
        sodium_free(data_);
        data_ = nullptr;
        size_ = 0;
    }
}

}  // namespace ks
