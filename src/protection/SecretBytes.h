#pragma once

#include <QByteArrayView>
#include <cstddef>

namespace ks {

// Bytes of a secret key, kept in memory that is locked against swapping, guarded by
// inaccessible pages and wiped when released. Move-only: a key is never copied by accident.
class SecretBytes {
public:
    SecretBytes() = default;
    // `size` zero bytes; empty() when the memory could not be had.
    explicit SecretBytes(std::size_t size);
    // A copy of `bytes` in protected memory.
    static SecretBytes copyOf(QByteArrayView bytes);
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes();

    bool empty() const { return data_ == nullptr; }
    std::size_t size() const { return size_; }
    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    // Wipes and releases the bytes now.
    void clear();

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace ks
