#include "protection/BlobSeal.h"

#include <sodium.h>

#include "protection/Sodium.h"

namespace ks {

namespace {

constexpr qint64 kPlainChunk = 1024 * 1024;
constexpr qint64 kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr qint64 kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr char kMark[] = {'K', 'S', 'B', '1'};
constexpr qint64 kMarkBytes = sizeof(kMark);

crypto_secretstream_xchacha20poly1305_state* stateOf(std::vector<unsigned char>& bytes) {
    return reinterpret_cast<crypto_secretstream_xchacha20poly1305_state*>(bytes.data());
}

}  // namespace

qint64 sealedBlobSize(qint64 plainSize) {
    const qint64 chunks = plainSize == 0 ? 1 : (plainSize + kPlainChunk - 1) / kPlainChunk;
    return kMarkBytes + kHeaderBytes + chunks * kChunkOverhead + plainSize;
}

qint64 sealedBlobHeadBytes() {
    return kMarkBytes + kHeaderBytes;
}

qint64 sealedChunkBytes() {
    return kPlainChunk + kChunkOverhead;
}

// ---- sealing ----

BlobSealer::BlobSealer(const SecretBytes& dataKey, FieldBinding where)
    : key_(dataKey),
      ad_(where.associatedData()),
      state_(crypto_secretstream_xchacha20poly1305_statebytes()) {
    ok_ = sodiumReady() && key_.size() == crypto_secretstream_xchacha20poly1305_KEYBYTES;
    pending_.reserve(kPlainChunk);
}

BlobSealer::~BlobSealer() {
    sodium_memzero(state_.data(), state_.size());
    sodium_memzero(pending_.data(), static_cast<std::size_t>(pending_.size()));
}

bool BlobSealer::add(QByteArrayView plain, const SealedSink& out) {
    while (ok_ && !plain.isEmpty()) {
        // A full chunk goes out only once more bytes follow it: the last chunk must say so.
        if (pending_.size() == kPlainChunk && !flush(false, out)) {
            return false;
        }
        const qint64 take = std::min<qint64>(kPlainChunk - pending_.size(), plain.size());
        pending_.append(plain.first(take));
        plain = plain.sliced(take);
    }
    return ok_;
}

bool BlobSealer::finish(const SealedSink& out) {
    return ok_ && flush(true, out);
}

bool BlobSealer::flush(bool last, const SealedSink& out) {
    if (!started_) {
        QByteArray head(kMark, kMarkBytes);
        head.resize(kMarkBytes + kHeaderBytes);
        crypto_secretstream_xchacha20poly1305_init_push(
            stateOf(state_), reinterpret_cast<unsigned char*>(head.data() + kMarkBytes),
            key_.data());
        started_ = true;
        if (!out(head)) {
            return ok_ = false;
        }
    }
    // The buffers keep their room from chunk to chunk: a fresh megabyte each time costs more
    // than the cipher.
    chunk_.resize(pending_.size() + kChunkOverhead);
    const unsigned char tag = last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0;
    crypto_secretstream_xchacha20poly1305_push(
        stateOf(state_), reinterpret_cast<unsigned char*>(chunk_.data()), nullptr,
        bytesOf(pending_), static_cast<unsigned long long>(pending_.size()), bytesOf(ad_),
        static_cast<unsigned long long>(ad_.size()), tag);
    sodium_memzero(pending_.data(), static_cast<std::size_t>(pending_.size()));
    pending_.resize(0);
    if (!out(chunk_)) {
        return ok_ = false;
    }
    return true;
}

// ---- opening ----

BlobOpener::BlobOpener(const SecretBytes& dataKey, FieldBinding where)
    : key_(dataKey),
      ad_(where.associatedData()),
      state_(crypto_secretstream_xchacha20poly1305_statebytes()) {
    ok_ = sodiumReady() && key_.size() == crypto_secretstream_xchacha20poly1305_KEYBYTES;
    pending_.reserve(kPlainChunk + kChunkOverhead);
}

BlobOpener::~BlobOpener() {
    sodium_memzero(state_.data(), state_.size());
}

bool BlobOpener::add(QByteArrayView sealed, const SealedSink& out) {
    while (ok_ && !sealed.isEmpty()) {
        const qint64 want = started_ ? sealedChunkBytes() : sealedBlobHeadBytes();
        const qint64 take = std::min<qint64>(want - pending_.size(), sealed.size());
        pending_.append(sealed.first(take));
        sealed = sealed.sliced(take);
        if (pending_.size() < want) {
            break;
        }
        ok_ = started_ ? openChunk(pending_, out) : start(pending_);
        pending_.resize(0);
    }
    return ok_;
}

bool BlobOpener::finish(const SealedSink& out) {
    if (ok_ && started_ && !pending_.isEmpty()) {
        ok_ = openChunk(pending_, out);
        pending_.resize(0);
    }
    return ok_ && ended_;
}

bool BlobOpener::start(QByteArrayView head) {
    ok_ = ok_ && !started_ && head.size() == sealedBlobHeadBytes() &&
          head.first(kMarkBytes) == QByteArrayView(kMark, kMarkBytes) &&
          crypto_secretstream_xchacha20poly1305_init_pull(
              stateOf(state_), reinterpret_cast<const unsigned char*>(head.data()) + kMarkBytes,
              key_.data()) == 0;
    started_ = true;
    return ok_;
}

bool BlobOpener::openChunk(QByteArrayView chunk, QByteArray& plain) {
    // Nothing may follow the last chunk, and a chunk holds at least its tag.
    if (!ok_ || !started_ || ended_ || chunk.size() < kChunkOverhead ||
        chunk.size() > sealedChunkBytes()) {
        return ok_ = false;
    }
    const qint64 size = chunk.size() - kChunkOverhead;
    if (plain.size() > size) {
        // The room is kept: what the chunk before left beyond this one goes now.
        sodium_memzero(plain.data() + size, static_cast<std::size_t>(plain.size() - size));
    }
    plain.resize(size);
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(
            stateOf(state_), reinterpret_cast<unsigned char*>(plain.data()), nullptr, &tag,
            bytesOf(chunk), static_cast<unsigned long long>(chunk.size()), bytesOf(ad_),
            static_cast<unsigned long long>(ad_.size())) != 0) {
        return ok_ = false;
    }
    ended_ = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
    return true;
}

bool BlobOpener::openChunk(QByteArrayView chunk, const SealedSink& out) {
    if (!openChunk(chunk, chunk_)) {
        return false;
    }
    const bool taken = out(chunk_);
    sodium_memzero(chunk_.data(), static_cast<std::size_t>(chunk_.size()));
    return taken;
}

// ---- whole blobs ----

QByteArray sealBlob(const SecretBytes& dataKey, const FieldBinding& where, QByteArrayView plain) {
    QByteArray sealed;
    sealed.reserve(sealedBlobSize(plain.size()));
    const SealedSink append = [&sealed](QByteArrayView piece) {
        sealed.append(piece);
        return true;
    };
    BlobSealer sealer(dataKey, where);
    if (!sealer.add(plain, append) || !sealer.finish(append)) {
        return {};
    }
    return sealed;
}

std::optional<QByteArray> openBlob(const SecretBytes& dataKey, const FieldBinding& where,
                                   QByteArrayView sealed) {
    QByteArray plain;
    plain.reserve(std::max<qint64>(sealed.size() - kMarkBytes - kHeaderBytes, 0));
    const SealedSink append = [&plain](QByteArrayView piece) {
        plain.append(piece);
        return true;
    };
    BlobOpener opener(dataKey, where);
    if (!opener.add(sealed, append) || !opener.finish(append)) {
        return std::nullopt;
    }
    return plain;
}

}  // namespace ks
