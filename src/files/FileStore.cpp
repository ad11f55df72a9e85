#include "files/FileStore.h"

#include <QFile>

#include "core/AccountValues.h"
#include "core/BlobRowSealing.h"
#include "core/SealedBlobs.h"
#include "images/ImageTexts.h"
#include "storage/Schema.h"
#include "storage/Tombstones.h"

namespace ks {

namespace {

const QString kTable = QStringLiteral("Files");

// Dates are kept as ISO text in universal time, to the millisecond.
QString storedDate(const QDateTime& when) {
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime dateFromStored(const QString& text) {
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    return when.isValid() ? when.toLocalTime() : QDateTime();
}

// Adds the row with room for its archive; `uuid` is the new row's identity.
DbStatus addRow(Connection& connection, const Account& account, const NewStoredFile& file,
                qint64 archiveSize, const QByteArray& uuid) {
    const std::optional<QString> name =
        storedValue(account, columns::kFileName, uuid, file.fileName);
    if (!name) {
        return {DbCode::Failed, QStringLiteral("the name could not be sealed")};
    }
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Files (FileName, File, Username, Size, CompressedSize, "
                       "LastModified, Uuid, Modified) VALUES (?1, zeroblob(?2), ?3, ?4, ?5, ?6, "
                       "?7, ?8)"));
    insert.bind(1, *name)
        .bind(2, storedBlobSize(account, archiveSize))
        .bind(3, account.owner)
        .bind(4, file.size)
        .bind(5, archiveSize)
        .bind(6, storedDate(file.lastModified))
        .bindBlob(7, uuid)
        .bind(8, rowWriteTime());
    return insert.run();
}

}  // namespace

QString fileKey(qint64 counter) {
    return QLatin1Char('K') + QString::number(counter);
}

std::optional<qint64> counterFromKey(const QString& key) {
    bool ok = false;
    const qint64 counter = key.mid(1).toLongLong(&ok);
    return ok ? std::optional<qint64>(counter) : std::nullopt;
}

Result<QList<StoredFileLine>> listStoredFiles(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query =
        selectOwned(connection.value(), kTable,
                    QStringLiteral("Counter, FileName, Size, CompressedSize, LastModified, Uuid"),
                    account.owner);
    QList<StoredFileLine> lines;
    while (query.next()) {
        const std::optional<QString> name =
            shownValue(account, columns::kFileName, query.blob(5), query.text(1));
        lines.append({query.integer(0), name.value_or(damagedValueText()), query.integer(2),
                      query.integer(3), dateFromStored(query.text(4)), !name});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return lines;
}

Result<qint64> addStoredFile(DatabaseAccess& database, const Account& account,
                             const NewStoredFile& file, const QString& archivePath) {
    QFile archive(archivePath);
    if (!archive.open(QIODevice::ReadOnly)) {
        return DbStatus{DbCode::IoError, archive.errorString()};
    }
    const qint64 archiveSize = archive.size();
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    const QByteArray uuid = newRowUuid();
    if (DbStatus status = addRow(connection, account, file, archiveSize, uuid); !status.ok()) {
        return status;
    }
    const qint64 counter = connection.lastInsertId();
    DbStatus status = writeAccountBlob(connection, account, {columns::kFile, counter, uuid},
                                       archive, archiveSize);
    if (status.ok()) {
        status = write.commit();
    }
    if (!status.ok()) {
        return status;
    }
    return counter;
}

Result<int> deleteStoredFiles(DatabaseAccess& database, const Account& account,
                              const QList<qint64>& counters) {
    const QString& owner = account.owner;
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    Statement owned = connection.prepare(
        QStringLiteral("SELECT count(*) FROM Files WHERE Counter = ?1 AND UserName = ?2"));
    Statement remove = connection.prepare(
        QStringLiteral("DELETE FROM Files WHERE Counter = ?1 AND UserName = ?2"));
    TombstoneWriter tombstones(connection, QStringLiteral("Files"));
    const qint64 now = rowWriteTime();
    int deleted = 0;
    for (qint64 counter : counters) {
        owned.reset();
        owned.bind(1, counter).bind(2, owner);
        deleted += owned.next() ? static_cast<int>(owned.integer(0)) : 0;
        remove.reset();
        remove.bind(1, counter).bind(2, owner);
        DbStatus status = owned.status();
        if (status.ok()) {
            status = tombstones.leaveFor(counter, owner, now);
        }
        if (DbStatus removed = status.ok() ? remove.run() : status; !removed.ok()) {
            return removed;
        }
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return deleted;
}

Result<bool> readStoredArchive(DatabaseAccess& database, const Account& account, qint64 counter,
                               QIODevice& destination) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    // The row's identity comes from the owner's index: the row keeps it after its archive.
    Statement owned = connection->prepare(
        QStringLiteral("SELECT Uuid FROM Files INDEXED BY FilesByOwner WHERE UserName = ?2 AND "
                       "Counter = ?1"));
    owned.bind(1, counter).bind(2, account.owner);
    if (!owned.next()) {
        if (!owned.status().ok()) {
            return owned.status();
        }
        return false;
    }
    const AccountBlob blob{columns::kFile, counter, owned.blob(0)};
    owned.reset();
    bool writeFailed = false;
    AccountBlobRead read =
        readAccountBlob(connection.value(), account, blob, [&](QByteArrayView chunk) {
            writeFailed = destination.write(chunk.data(), chunk.size()) != chunk.size();
            return !writeFailed;
        });
    if (writeFailed) {
        read.status.detail = destination.errorString();
    }
    if (!read.status.ok()) {
        return read.status;
    }
    if (read.damaged) {
        return DbStatus{DbCode::Failed, notDecryptedReason()};
    }
    return true;
}

DbStatus sealFiles(Connection& connection, const AccountConversion& conversion) {
    return sealNamedBlobRows(connection, conversion, columns::kFileName, columns::kFile);
}

}  // namespace ks
