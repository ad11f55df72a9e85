#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

#include "storage/Database.h"

class QIODevice;

namespace ks {

// Incremental blob I/O: large stored contents move between the database and a file a chunk at
// a time, so that their size never has to fit in memory at once.

// Bytes moved per step.
inline constexpr qint64 kBlobChunkBytes = 1024 * 1024;

// One blob: the column `column` of the row `rowid` of `table`.
struct BlobPlace {
    QString table;
    QString column;
    qint64 rowid = 0;
};

// Fills the blob at `place`, which must already hold exactly `size` bytes (a row added with
// zeroblob(size)), with `size` bytes read from `source`. Meant to run inside the transaction
// that added the row, so that a failure leaves no row behind. A source that ends early or cannot
// be read is an IoError.
DbStatus writeBlobFromDevice(Connection& connection, const BlobPlace& place, QIODevice& source,
                             qint64 size);

// Reads the blob at `place` from start to end in chunks of at most kBlobChunkBytes and hands
// each to `consume`; a false answer from `consume` stops the read with an IoError.
DbStatus readBlobInChunks(Connection& connection, const BlobPlace& place,
                          const std::function<bool(QByteArrayView)>& consume);

// Reads the blob at `place` from start to end: `first` bytes, then `each` bytes at a time (the
// last piece may be shorter), each into a buffer that `consume` may keep, leaving another one in
// its place to read the next piece into. A false answer from `consume` stops the read with an
// IoError.
DbStatus readBlobInPieces(Connection& connection, const BlobPlace& place, qint64 first, qint64 each,
                          const std::function<bool(QByteArray&)>& consume);

// Writes the whole blob at `place` to `destination`.
DbStatus copyBlobToDevice(Connection& connection, const BlobPlace& place, QIODevice& destination);

}  // namespace ks
