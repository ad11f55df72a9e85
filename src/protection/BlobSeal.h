#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>
#include <vector>

#include "protection/FieldBinding.h"
#include "protection/SecretBytes.h"

struct crypto_secretstream_xchacha20poly1305_state;

namespace ks {

// Stored pictures and files of a protected account: libsodium's secretstream
// (XChaCha20-Poly1305) in chunks of 1 MiB, after a four-byte mark and the stream's header. Every
// chunk is bound to where the blob lives, and the last one says it is the last, so a blob cut
// short, lengthened, reordered or moved to another row does not open. Both directions work a
// chunk at a time, so a blob of any size moves through a fixed amount of memory.

// Where sealed bytes go: false stops the work.
using SealedSink = std::function<bool(QByteArrayView)>;

// The stored size of a blob of `plainSize` bytes.
qint64 sealedBlobSize(qint64 plainSize);
// A stored blob is its head, then whole stored chunks of this size, the last one shorter.
qint64 sealedBlobHeadBytes();
qint64 sealedChunkBytes();

class BlobSealer {
public:
    BlobSealer(const SecretBytes& dataKey, FieldBinding where);
    ~BlobSealer();
    BlobSealer(const BlobSealer&) = delete;
    BlobSealer& operator=(const BlobSealer&) = delete;

    // Takes the next plain bytes; sealed bytes go to `out` as whole chunks fill up.
    bool add(QByteArrayView plain, const SealedSink& out);
    // Seals what is left as the last chunk.
    bool finish(const SealedSink& out);

private:
    bool flush(bool last, const SealedSink& out);

    const SecretBytes& key_;
    QByteArray ad_;
    std::vector<unsigned char> state_;
    QByteArray pending_;
    QByteArray chunk_;  // the chunk going out, kept so that chunks reuse one buffer
    bool started_ = false;
    bool ok_ = true;
};

class BlobOpener {
public:
    BlobOpener(const SecretBytes& dataKey, FieldBinding where);
    ~BlobOpener();
    BlobOpener(const BlobOpener&) = delete;
    BlobOpener& operator=(const BlobOpener&) = delete;

    // Takes the next stored bytes; plain bytes go to `out` as whole chunks open. False once the
    // stored bytes are found damaged or foreign.
    bool add(QByteArrayView sealed, const SealedSink& out);
    // True when the blob ended exactly after its last chunk and every chunk opened.
    bool finish(const SealedSink& out);

    // The same a piece at a time, for a reader that reads the stored blob in its own pieces:
    // start() takes the head (sealedBlobHeadBytes()), openChunk() one whole stored chunk
    // (sealedChunkBytes(), the last one shorter) and opens it into `plain`, whose room is
    // reused from chunk to chunk, and ended() says whether the last chunk came and every piece
    // opened. False once a piece is found damaged or foreign.
    bool start(QByteArrayView head);
    bool openChunk(QByteArrayView chunk, QByteArray& plain);
    bool ended() const { return ok_ && ended_; }

private:
    bool openChunk(QByteArrayView chunk, const SealedSink& out);

    const SecretBytes& key_;
    QByteArray ad_;
    std::vector<unsigned char> state_;
    QByteArray pending_;
    QByteArray chunk_;  // the chunk going out, kept so that chunks reuse one buffer
    bool started_ = false;
    bool ended_ = false;
    bool ok_ = true;
};

// The whole of a small blob at once (pictures).
QByteArray sealBlob(const SecretBytes& dataKey, const FieldBinding& where, QByteArrayView plain);
std::optional<QByteArray> openBlob(const SecretBytes& dataKey, const FieldBinding& where,
                                   QByteArrayView sealed);

}  // namespace ks
