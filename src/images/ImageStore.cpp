#include "images/ImageStore.h"

#include <QFile>
#include <QFileInfo>

#include "core/AccountValues.h"
#include "core/BlobRowSealing.h"
#include "core/SealedBlobs.h"
#include "storage/Schema.h"
#include "storage/Tombstones.h"

namespace ks {

namespace {

// Reads a whole file as raw bytes; the system's words for the failure otherwise.
std::optional<QByteArray> readWholeFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

ImageCheckInResult checkInFailed(ImageCheckInFailure failure) {
    ImageCheckInResult result;
    result.failure = std::move(failure);
    return result;
}

ImageCheckInResult databaseFailed(const DbStatus& status) {
    ImageCheckInFailure failure;
    failure.status = status;
    return checkInFailed(std::move(failure));
}

ImageCheckInFailure storeFailure(const DbStatus& status) {
    return {QString(), QString(), status};
}

// Adds one picture of an account in the shared format, as it is; the failure otherwise.
std::optional<ImageCheckInFailure> addPicture(Connection& connection, const QString& owner,
                                              const QString& path) {
    QString error;
    std::optional<QByteArray> bytes = readWholeFile(path, error);
    if (!bytes) {
        return ImageCheckInFailure{path, error, {}};
    }
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Images (ImageName, Image, Username, Uuid, Modified) "
                       "VALUES (?1, ?2, ?3, ?4, ?5)"));
    insert.bind(1, QFileInfo(path).fileName())
        .bindBlob(2, *bytes)
        .bind(3, owner)
        .bindBlob(4, newRowUuid())
        .bind(5, rowWriteTime());
    if (DbStatus status = insert.run(); !status.ok()) {
        return storeFailure(status);
    }
    return std::nullopt;
}

// Adds one picture of a protected account: its name sealed, its bytes sealed from the file a
// chunk at a time.
std::optional<ImageCheckInFailure> addSealedPicture(Connection& connection, const Account& account,
                                                    const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ImageCheckInFailure{path, file.errorString(), {}};
    }
    const qint64 size = file.size();
    const QByteArray uuid = newRowUuid();
    const std::optional<QString> name =
        storedValue(account, columns::kImageName, uuid, QFileInfo(path).fileName());
    if (!name) {
        return storeFailure({DbCode::Failed, QStringLiteral("the name could not be sealed")});
    }
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO Images (ImageName, Image, Username, Uuid, Modified) "
                       "VALUES (?1, zeroblob(?2), ?3, ?4, ?5)"));
    insert.bind(1, *name)
        .bind(2, storedBlobSize(account, size))
        .bind(3, account.owner)
        .bindBlob(4, uuid)
        .bind(5, rowWriteTime());
    if (DbStatus status = insert.run(); !status.ok()) {
        return storeFailure(status);
    }
    const AccountBlob blob{columns::kImage, connection.lastInsertId(), uuid};
    if (DbStatus status = writeAccountBlob(connection, account, blob, file, size); !status.ok()) {
        if (file.error() != QFileDevice::NoError || status.code == DbCode::IoError) {
            return ImageCheckInFailure{path, file.errorString(), {}};
        }
        return storeFailure(status);
    }
    return std::nullopt;
}

}  // namespace

Result<QList<ImageLine>> ListImages(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    QList<ImageLine> lines;
    Statement query = selectOwned(connection.value(), QStringLiteral("Images"),
                                  QStringLiteral("Counter, ImageName, Uuid"), account.owner);
    while (query.next()) {
        const std::optional<QString> name =
            shownValue(account, columns::kImageName, query.blob(2), query.text(1));
        lines.append({query.integer(0), name.value_or(damagedValueText()), !name});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return lines;
}

Result<StoredPicture> readPicture(DatabaseAccess& database, const Account& account,
                                  qint64 counter) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    // A protected account's picture is opened a chunk at a time from the stored blob; its
    // identity comes from the owner's index (the row keeps it after the picture).
    Statement query = connection->prepare(
        account.isProtected()
            ? QStringLiteral("SELECT Uuid, (SELECT length(Image) FROM Images WHERE Counter = ?1) "
                             "FROM Images INDEXED BY ImagesByOwner WHERE UserName = ?2 AND "
                             "Counter = ?1")
            : QStringLiteral("SELECT Image FROM Images WHERE Counter = ?1 AND UserName = ?2"));
    query.bind(1, counter).bind(2, account.owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return StoredPicture{};
    }
    if (!account.isProtected()) {
        return StoredPicture{query.blob(0), false};
    }
    const AccountBlob blob{columns::kImage, counter, query.blob(0)};
    QByteArray bytes;
    bytes.reserve(query.integer(1));
    query.reset();
    const AccountBlobRead read =
        readAccountBlob(connection.value(), account, blob, [&bytes](QByteArrayView chunk) {
            bytes.append(chunk);
            return true;
        });
    if (!read.status.ok()) {
        return read.status;
    }
    if (read.damaged) {
        return StoredPicture{std::nullopt, true};
    }
    return StoredPicture{std::move(bytes), false};
}

Result<std::optional<QByteArray>> readImageBytes(DatabaseAccess& database, const Account& account,
                                                 qint64 counter) {
    Result<StoredPicture> picture = readPicture(database, account, counter);
    if (!picture.ok()) {
        return picture.status();
    }
    return std::move(picture.value().bytes);
}

ImageCheckInResult AddImages(DatabaseAccess& database, const Account& account,
                             const QStringList& paths) {
    WriteOperation write(database);
    if (!write.ok()) {
        return databaseFailed(write.status());
    }
    ImageCheckInResult result;
    for (const QString& path : paths) {
        std::optional<ImageCheckInFailure> failure =
            account.isProtected() ? addSealedPicture(write.connection(), account, path)
                                  : addPicture(write.connection(), account.owner, path);
        if (failure) {
            return checkInFailed(std::move(*failure));
        }
        result.counters.append(write.connection().lastInsertId());
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return databaseFailed(status);
    }
    return result;
}

Result<int> DeleteImages(DatabaseAccess& database, const Account& account,
                         const QList<qint64>& counters) {
    const QString& owner = account.owner;
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Statement remove = write.connection().prepare(
        QStringLiteral("DELETE FROM Images WHERE Counter = ?1 AND UserName = ?2"));
    Statement changes = write.connection().prepare(QStringLiteral("SELECT changes()"));
    TombstoneWriter tombstones(write.connection(), QStringLiteral("Images"));
    const qint64 now = rowWriteTime();
    int removed = 0;
    for (const qint64 counter : counters) {
        remove.bind(1, counter).bind(2, owner);
        if (DbStatus status = tombstones.leaveFor(counter, owner, now); !status.ok()) {
            return status;
        }
        if (DbStatus status = remove.run(); !status.ok()) {
            return status;
        }
        remove.reset();
        if (!changes.next()) {
            return changes.status();
        }
        removed += static_cast<int>(changes.integer(0));
        changes.reset();
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return removed;
}

DbStatus sealImages(Connection& connection, const AccountConversion& conversion) {
    return sealNamedBlobRows(connection, conversion, columns::kImageName, columns::kImage);
}

}  // namespace ks
