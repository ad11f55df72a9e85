#include "files/FileStore.h"

#include <QFile>

#include "storage/BlobStream.h"
#include "storage/Schema.h"

namespace ks {

namespace {

const QString kTable = QStringLiteral("Files");

BlobPlace archivePlace(qint64 counter) {
    return {kTable, QStringLiteral("File"), counter};
}

// Dates are kept as ISO text in universal time, to the millisecond.
QString storedDate(const QDateTime& when) {
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime dateFromStored(const QString& text) {
    QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    return when.isValid() ? when.toLocalTime() : QDateTime();
}

DbStatus addRow(Connection& connection, const QString& owner, const NewStoredFile& file,
                qint64 archiveSize) {
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO Files (FileName, File, Username, Size, CompressedSize, LastModified)"
        " VALUES (?1, zeroblob(?2), ?3, ?4, ?5, ?6)"));
    insert.bind(1, file.fileName)
        .bind(2, archiveSize)
        .bind(3, owner)
        .bind(4, file.size)
        .bind(5, archiveSize)
        .bind(6, storedDate(file.lastModified));
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

Result<QList<StoredFileLine>> listStoredFiles(DatabaseAccess& database, const QString& owner) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query =
        selectOwned(connection.value(), kTable,
                    QStringLiteral("Counter, FileName, Size, CompressedSize, LastModified"), owner);
    QList<StoredFileLine> lines;
    while (query.next()) {
        lines.append({query.integer(0), query.text(1), query.integer(2), query.integer(3),
                      dateFromStored(query.text(4))});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return lines;
}

Result<qint64> addStoredFile(DatabaseAccess& database, const QString& owner,
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
    if (DbStatus status = addRow(connection, owner, file, archiveSize); !status.ok()) {
        return status;
    }
    const qint64 counter = connection.lastInsertId();
    DbStatus status = writeBlobFromDevice(connection, archivePlace(counter), archive, archiveSize);
    if (status.ok()) {
        status = write.commit();
    }
    if (!status.ok()) {
        return status;
    }
    return counter;
}

Result<int> deleteStoredFiles(DatabaseAccess& database, const QString& owner,
                              const QList<qint64>& counters) {
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    Statement owned = connection.prepare(
        QStringLiteral("SELECT count(*) FROM Files WHERE Counter = ?1 AND UserName = ?2"));
    Statement remove = connection.prepare(
        QStringLiteral("DELETE FROM Files WHERE Counter = ?1 AND UserName = ?2"));
    int deleted = 0;
    for (qint64 counter : counters) {
        owned.reset();
        owned.bind(1, counter).bind(2, owner);
        deleted += owned.next() ? static_cast<int>(owned.integer(0)) : 0;
        remove.reset();
        remove.bind(1, counter).bind(2, owner);
        if (DbStatus status = owned.status().ok() ? remove.run() : owned.status(); !status.ok()) {
            return status;
        }
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return deleted;
}

Result<bool> readStoredArchive(DatabaseAccess& database, const QString& owner, qint64 counter,
                               QIODevice& destination) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement owned = connection->prepare(
        QStringLiteral("SELECT count(*) FROM Files WHERE Counter = ?1 AND UserName = ?2"));
    owned.bind(1, counter).bind(2, owner);
    if (!owned.next()) {
        return owned.status();
    }
    if (owned.integer(0) == 0) {
        return false;
    }
    if (DbStatus status = copyBlobToDevice(connection.value(), archivePlace(counter), destination);
        !status.ok()) {
        return status;
    }
    return true;
}

}  // namespace ks
