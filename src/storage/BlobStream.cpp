#include "storage/BlobStream.h"

#include <sqlcipher/sqlite3.h>

#include <QByteArray>
#include <QIODevice>

namespace ks {

namespace {

DbStatus ioFailure(const QString& detail) {
    return {DbCode::IoError, detail};
}

// An open engine blob, closed when it goes out of scope.
class OpenBlob {
public:
    OpenBlob(Connection& connection, const BlobPlace& place, bool write)
        : db_(connection.engineHandle()) {
        if (db_ == nullptr) {
            status_ = {DbCode::Closed, QStringLiteral("the database connection was closed")};
            return;
        }
        const int rc = sqlite3_blob_open(db_, "main", place.table.toUtf8().constData(),
                                         place.column.toUtf8().constData(), place.rowid,
                                         write ? 1 : 0, &blob_);
        status_ = engineStatus(rc, db_);
    }
    ~OpenBlob() {
        if (blob_ != nullptr) {
            sqlite3_blob_close(blob_);
        }
    }
    OpenBlob(const OpenBlob&) = delete;
    OpenBlob& operator=(const OpenBlob&) = delete;

    const DbStatus& status() const { return status_; }
    qint64 size() const { return blob_ != nullptr ? sqlite3_blob_bytes(blob_) : 0; }

    DbStatus write(const QByteArray& chunk, qint64 offset) {
        const int rc = sqlite3_blob_write(blob_, chunk.constData(), static_cast<int>(chunk.size()),
                                          static_cast<int>(offset));
        return engineStatus(rc, db_);
    }
    DbStatus read(QByteArray& chunk, qint64 offset) {
        const int rc = sqlite3_blob_read(blob_, chunk.data(), static_cast<int>(chunk.size()),
                                         static_cast<int>(offset));
        return engineStatus(rc, db_);
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_blob* blob_ = nullptr;
    DbStatus status_;
};

}  // namespace

DbStatus writeBlobFromDevice(Connection& connection, const BlobPlace& place, QIODevice& source,
                             qint64 size) {
    OpenBlob blob(connection, place, true);
    if (!blob.status().ok()) {
        return blob.status();
    }
    if (blob.size() != size) {
        return {DbCode::Failed, QStringLiteral("the stored blob has the wrong size")};
    }
    QByteArray chunk;
    for (qint64 offset = 0; offset < size; offset += chunk.size()) {
        chunk = source.read(std::min(kBlobChunkBytes, size - offset));
        if (chunk.isEmpty()) {
            return ioFailure(source.errorString());
        }
        if (DbStatus status = blob.write(chunk, offset); !status.ok()) {
            return status;
        }
    }
    return {};
}

DbStatus readBlobInChunks(Connection& connection, const BlobPlace& place,
                          const std::function<bool(QByteArrayView)>& consume) {
    OpenBlob blob(connection, place, false);
    if (!blob.status().ok()) {
        return blob.status();
    }
    const qint64 size = blob.size();
    QByteArray chunk;
    for (qint64 offset = 0; offset < size; offset += chunk.size()) {
        chunk.resize(std::min(kBlobChunkBytes, size - offset));
        if (DbStatus status = blob.read(chunk, offset); !status.ok()) {
            return status;
        }
        if (!consume(chunk)) {
            return ioFailure(QStringLiteral("the stored content could not be written out"));
        }
    }
    return {};
}

DbStatus readBlobInPieces(Connection& connection, const BlobPlace& place, qint64 first, qint64 each,
                          const std::function<bool(QByteArray&)>& consume) {
    OpenBlob blob(connection, place, false);
    if (!blob.status().ok()) {
        return blob.status();
    }
    const qint64 size = blob.size();
    QByteArray piece;
    for (qint64 offset = 0; offset < size;) {
        const qint64 length = std::min(offset == 0 ? first : each, size - offset);
        piece.resize(length);
        if (DbStatus status = blob.read(piece, offset); !status.ok()) {
            return status;
        }
        offset += length;
        if (!consume(piece)) {
            return ioFailure(QStringLiteral("the stored content could not be written out"));
        }
    }
    return {};
}

DbStatus copyBlobToDevice(Connection& connection, const BlobPlace& place, QIODevice& destination) {
    bool writeFailed = false;
    DbStatus status = readBlobInChunks(connection, place, [&](QByteArrayView chunk) {
        writeFailed = destination.write(chunk.data(), chunk.size()) != chunk.size();
        return !writeFailed;
    });
    if (writeFailed) {
        status.detail = destination.errorString();
    }
    return status;
}

}  // namespace ks
