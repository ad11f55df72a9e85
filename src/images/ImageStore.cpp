#include "images/ImageStore.h"

#include <QFile>
#include <QFileInfo>

#include "storage/Schema.h"

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

CheckInResult checkInFailed(CheckInFailure failure) {
    CheckInResult result;
    result.failure = std::move(failure);
    return result;
}

CheckInResult databaseFailed(const DbStatus& status) {
    CheckInFailure failure;
    failure.status = status;
    return checkInFailed(std::move(failure));
}

}  // namespace

Result<QList<ImageLine>> ListImages(DatabaseAccess& database, const QString& owner) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    QList<ImageLine> lines;
    Statement query = selectOwned(connection.value(), QStringLiteral("Images"),
                                  QStringLiteral("Counter, ImageName"), owner);
    while (query.next()) {
        lines.append({query.integer(0), query.text(1)});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return lines;
}

Result<std::optional<QByteArray>> readImageBytes(DatabaseAccess& database, const QString& owner,
                                                 qint64 counter) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT Image FROM Images WHERE Counter = ?1 AND UserName = ?2"));
    query.bind(1, counter).bind(2, owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<QByteArray>();
    }
    return std::optional<QByteArray>(query.blob(0));
}

CheckInResult AddImages(DatabaseAccess& database, const QString& owner, const QStringList& paths) {
    WriteOperation write(database);
    if (!write.ok()) {
        return databaseFailed(write.status());
    }
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Images (ImageName, Image, Username) VALUES (?1, ?2, ?3)"));
    CheckInResult result;
    for (const QString& path : paths) {
        QString error;
        std::optional<QByteArray> bytes = readWholeFile(path, error);
        if (!bytes) {
            return checkInFailed({path, error, {}});
        }
        insert.bind(1, QFileInfo(path).fileName()).bindBlob(2, *bytes).bind(3, owner);
        if (DbStatus status = insert.run(); !status.ok()) {
            return databaseFailed(status);
        }
        insert.reset();
        result.counters.append(write.connection().lastInsertId());
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return databaseFailed(status);
    }
    return result;
}

Result<int> DeleteImages(DatabaseAccess& database, const QString& owner,
                         const QList<qint64>& counters) {
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Statement remove = write.connection().prepare(
        QStringLiteral("DELETE FROM Images WHERE Counter = ?1 AND UserName = ?2"));
    Statement changes = write.connection().prepare(QStringLiteral("SELECT changes()"));
    int removed = 0;
    for (const qint64 counter : counters) {
        remove.bind(1, counter).bind(2, owner);
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

}  // namespace ks
