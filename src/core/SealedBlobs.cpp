#include "core/SealedBlobs.h"

#include <sqlcipher/sqlite3.h>

#include <QIODevice>

#include "protection/BlobSeal.h"
#include "protection/PipelinedOpening.h"
#include "storage/BlobStream.h"

namespace ks {

namespace {

BlobPlace placeOf(const BlobColumn& column, qint64 rowid) {
    return {QString(column.table), QString(column.name), rowid};
}

FieldBinding bindingOf(const AccountBlob& blob) {
    return {blob.column.table, blob.column.name, blob.rowUuid};
}

DbStatus failedWith(const char* detail) {
    return {DbCode::Failed, QString::fromLatin1(detail)};
}

// A blob written front to back, a piece at a time; it must already hold its final size.
class BlobFiller {
public:
    BlobFiller(Connection& connection, const BlobPlace& place) : db_(connection.engineHandle()) {
        if (db_ == nullptr) {
            status_ = {DbCode::Closed, QStringLiteral("the database connection was closed")};
            return;
        }
        status_ = engineStatus(
            sqlite3_blob_open(db_, "main", place.table.toUtf8().constData(),
                              place.column.toUtf8().constData(), place.rowid, 1, &blob_),
            db_);
    }
    ~BlobFiller() {
        if (blob_ != nullptr) {
            sqlite3_blob_close(blob_);
        }
    }
    BlobFiller(const BlobFiller&) = delete;
    BlobFiller& operator=(const BlobFiller&) = delete;

    bool append(QByteArrayView bytes) {
        if (!status_.ok()) {
            return false;
        }
        if (offset_ + bytes.size() > sqlite3_blob_bytes(blob_)) {
            status_ = failedWith("the stored blob has the wrong size");
            return false;
        }
        status_ =
            engineStatus(sqlite3_blob_write(blob_, bytes.data(), static_cast<int>(bytes.size()),
                                            static_cast<int>(offset_)),
                         db_);
        offset_ += bytes.size();
        return status_.ok();
    }
    // Ok when every byte of the blob was written.
    DbStatus finish() const {
        if (status_.ok() && offset_ != sqlite3_blob_bytes(blob_)) {
            return failedWith("the stored blob has the wrong size");
        }
        return status_;
    }
    const DbStatus& status() const { return status_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_blob* blob_ = nullptr;
    qint64 offset_ = 0;
    DbStatus status_;
};

// The stored length of the blob of a row (0 for none).
Result<qint64> storedLength(Connection& connection, const BlobColumn& column, qint64 rowid) {
    Statement query = connection.prepare(QStringLiteral("SELECT length(%1) FROM %2 WHERE %3 = ?1")
                                             .arg(column.name, column.table, column.key));
    query.bind(1, rowid);
    if (!query.next()) {
        return query.status().ok() ? failedWith("the row is gone") : query.status();
    }
    return query.integer(0);
}

// Reads the whole blob of a row into `filler` as it is.
DbStatus copyBlob(Connection& connection, const BlobPlace& from, BlobFiller& filler) {
    const DbStatus read = readBlobInChunks(
        connection, from, [&filler](QByteArrayView chunk) { return filler.append(chunk); });
    return filler.status().ok() ? (read.ok() ? filler.finish() : read) : filler.status();
}

// The table's next key as the engine keeps it; restored after a carrier row came and went.
Result<std::optional<qint64>> sequenceOf(Connection& connection, const QString& table) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
    query.bind(1, table);
    const bool found = query.next();
    if (!query.status().ok()) {
        return query.status();
    }
    return found ? std::optional<qint64>(query.integer(0)) : std::nullopt;
}

DbStatus restoreSequence(Connection& connection, const QString& table,
                         std::optional<qint64> sequence) {
    Statement restore = connection.prepare(
        sequence ? QStringLiteral("UPDATE sqlite_sequence SET seq = ?2 WHERE name = ?1")
                 : QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?1"));
    restore.bind(1, table);
    if (sequence) {
        restore.bind(2, *sequence);
    }
    return restore.run();
}

// Seals the plain blob `source` of `blob`'s row into the carrier row's blob.
DbStatus sealInto(Connection& connection, const Account& to, const AccountBlob& blob,
                  qint64 plainSize, qint64 carrier) {
    BlobFiller filler(connection, placeOf(blob.column, carrier));
    BlobSealer sealer(*to.dataKey, bindingOf(blob));
    const SealedSink out = [&filler](QByteArrayView sealed) { return filler.append(sealed); };
    DbStatus read;
    if (plainSize > 0) {
        read = readBlobInChunks(connection, placeOf(blob.column, blob.rowid),
                                [&](QByteArrayView chunk) { return sealer.add(chunk, out); });
    }
    if (!filler.status().ok()) {
        return filler.status();
    }
    if (!read.ok()) {
        return read;
    }
    if (!sealer.finish(out)) {
        return filler.status().ok() ? failedWith("the stored blob could not be sealed")
                                    : filler.status();
    }
    return filler.finish();
}

// Seals the row's plain blob in memory and has the row rewritten with it.
DbStatus sealInMemory(Connection& connection, const Account& to, const AccountBlob& blob,
                      qint64 plainSize, const RowRewrite& rewriteRow) {
    QByteArray sealed;
    sealed.reserve(sealedBlobSize(plainSize));
    BlobSealer sealer(*to.dataKey, bindingOf(blob));
    const SealedSink out = [&sealed](QByteArrayView bytes) {
        sealed.append(bytes);
        return true;
    };
    if (plainSize > 0) {
        const DbStatus read =
            readBlobInChunks(connection, placeOf(blob.column, blob.rowid),
                             [&](QByteArrayView chunk) { return sealer.add(chunk, out); });
        if (!read.ok()) {
            return read;
        }
    }
    if (!sealer.finish(out)) {
        return failedWith("the stored blob could not be sealed");
    }
    return rewriteRow(sealed.size(), &sealed);
}

}  // namespace

qint64 storedBlobSize(const Account& account, qint64 plainSize) {
    return account.isProtected() ? sealedBlobSize(plainSize) : plainSize;
}

DbStatus writeAccountBlob(Connection& connection, const Account& account, const AccountBlob& blob,
                          QIODevice& source, qint64 plainSize) {
    const BlobPlace place = placeOf(blob.column, blob.rowid);
    if (!account.isProtected()) {
        return writeBlobFromDevice(connection, place, source, plainSize);
    }
    BlobFiller filler(connection, place);
    BlobSealer sealer(*account.dataKey, bindingOf(blob));
    const SealedSink out = [&filler](QByteArrayView sealed) { return filler.append(sealed); };
    // One buffer for every chunk: a fresh megabyte each time costs more than the cipher.
    QByteArray chunk(std::min(kBlobChunkBytes, plainSize), Qt::Uninitialized);
    qint64 got = 0;
    for (qint64 offset = 0; offset < plainSize && filler.status().ok(); offset += got) {
        got = source.read(chunk.data(), std::min(kBlobChunkBytes, plainSize - offset));
        if (got <= 0) {
            chunk.fill('\0');
            return {DbCode::IoError, source.errorString()};
        }
        if (!sealer.add(QByteArrayView(chunk.data(), got), out)) {
            break;
        }
    }
    chunk.fill('\0');
    if (filler.status().ok() && !sealer.finish(out) && filler.status().ok()) {
        return failedWith("the stored blob could not be sealed");
    }
    return filler.finish();
}

AccountBlobRead readAccountBlob(Connection& connection, const Account& account,
                                const AccountBlob& blob,
                                const std::function<bool(QByteArrayView)>& consume) {
    const BlobPlace place = placeOf(blob.column, blob.rowid);
    if (!account.isProtected()) {
        return {readBlobInChunks(connection, place, consume), false};
    }
    BlobOpener opener(*account.dataKey, bindingOf(blob));
    PipelinedOpening opening(opener, consume);
    bool opened = true;
    // Read in the stored chunks' own pieces, each opens where it was read to.
    const DbStatus read = readBlobInPieces(connection, place, sealedBlobHeadBytes(),
                                           sealedChunkBytes(), [&](QByteArray& sealed) {
                                               opened = opening.add(sealed);
                                               return opened;
                                           });
    if (opened && read.ok()) {
        opened = opening.finish();
    }
    if (opening.refused()) {
        return {{DbCode::IoError, QStringLiteral("the stored content could not be written out")},
                false};
    }
    if (!opened) {
        return {{}, true};
    }
    return {read, false};
}

DbStatus sealStoredBlob(Connection& connection, const Account& to, const AccountBlob& blob,
                        const RowRewrite& rewriteRow) {
    const QString table(blob.column.table);
    const Result<qint64> plainSize = storedLength(connection, blob.column, blob.rowid);
    const Result<std::optional<qint64>> sequence = sequenceOf(connection, table);
    if (!plainSize.ok() || !sequence.ok()) {
        return plainSize.ok() ? sequence.status() : plainSize.status();
    }
    const qint64 sealedSize = sealedBlobSize(plainSize.value());
    if (plainSize.value() <= kSealInMemoryBytes) {
        return sealInMemory(connection, to, blob, plainSize.value(), rewriteRow);
    }
    Statement carrier = connection.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (zeroblob(?1))").arg(table, blob.column.name));
    carrier.bind(1, sealedSize);
    if (DbStatus status = carrier.run(); !status.ok()) {
        return status;
    }
    const qint64 carrierRow = connection.lastInsertId();
    if (DbStatus status = sealInto(connection, to, blob, plainSize.value(), carrierRow);
        !status.ok()) {
        return status;
    }
    if (DbStatus status = rewriteRow(sealedSize, nullptr); !status.ok()) {
        return status;
    }
    {
        BlobFiller filler(connection, placeOf(blob.column, blob.rowid));
        if (DbStatus status = copyBlob(connection, placeOf(blob.column, carrierRow), filler);
            !status.ok()) {
            return status;
        }
    }
    Statement drop = connection.prepare(
        QStringLiteral("DELETE FROM %1 WHERE %2 = ?1").arg(table, blob.column.key));
    drop.bind(1, carrierRow);
    if (DbStatus status = drop.run(); !status.ok()) {
        return status;
    }
    return restoreSequence(connection, table, sequence.value());
}

}  // namespace ks
