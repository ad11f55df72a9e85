// Blobs move from the other database into this one a chunk at a time, so that a stored file's
// size never has to fit in memory.
#include <sqlcipher/sqlite3.h>

#include "storage/BlobStream.h"
#include "sync/MergeWriter.h"

namespace ks::merging {

namespace {

class BlobHandle {
public:
    BlobHandle(Connection& connection, const QString& table, const QString& column, qint64 row,
               bool write)
        : db_(connection.engineHandle()) {
        if (db_ == nullptr) {
            status_ = {DbCode::Closed, QStringLiteral("the database connection was closed")};
            return;
        }
        status_ =
            engineStatus(sqlite3_blob_open(db_, "main", table.toUtf8().constData(),
                                           column.toUtf8().constData(), row, write ? 1 : 0, &blob_),
                         db_);
    }
    ~BlobHandle() {
        if (blob_ != nullptr) {
            sqlite3_blob_close(blob_);
        }
    }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    const DbStatus& status() const { return status_; }
    qint64 size() const { return blob_ != nullptr ? sqlite3_blob_bytes(blob_) : 0; }
    DbStatus read(QByteArray& chunk, qint64 offset) {
        return engineStatus(sqlite3_blob_read(blob_, chunk.data(), int(chunk.size()), int(offset)),
                            db_);
    }
    DbStatus write(const QByteArray& chunk, qint64 offset) {
        return engineStatus(
            sqlite3_blob_write(blob_, chunk.constData(), int(chunk.size()), int(offset)), db_);
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_blob* blob_ = nullptr;
    DbStatus status_;
};

}  // namespace

DbStatus copyBlobAcross(Connection& source, Connection& target, const QString& table,
                        const QString& column, qint64 sourceRow, qint64 targetRow) {
    BlobHandle from(source, table, column, sourceRow, false);
    BlobHandle to(target, table, column, targetRow, true);
    if (!from.status().ok() || !to.status().ok()) {
        return !from.status().ok() ? from.status() : to.status();
    }
    if (from.size() != to.size()) {
        return {DbCode::Failed, QStringLiteral("a blob changed its length while it was copied")};
    }
    QByteArray chunk;
    for (qint64 offset = 0; offset < from.size(); offset += kBlobChunkBytes) {
        chunk.resize(qMin(kBlobChunkBytes, from.size() - offset));
        if (DbStatus status = from.read(chunk, offset); !status.ok()) {
            return status;
        }
        if (DbStatus status = to.write(chunk, offset); !status.ok()) {
            return status;
        }
    }
    return {};
}

}  // namespace ks::merging
