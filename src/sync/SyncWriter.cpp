#include "sync/SyncWriter.h"

#include <fcntl.h>
#include <stdio.h>

#include <QDir>
#include <QFileInfo>

#include "storage/CopyHelpers.h"
#include "storage/Schema.h"
#include "sync/SyncFileIo.h"
#include "sync/SyncNames.h"
#include "sync/SyncSeen.h"

namespace ks::syncing {

namespace {

// The columns of a table but its row key, as the file's schema has them.
Result<QString> copiedColumns(Connection& file, const QString& table) {
    Statement info = file.prepare(QStringLiteral("PRAGMA main.table_info(%1)").arg(table));
    QStringList columns;
    while (info.next()) {
        if (info.integer(5) == 0) {  // not the primary key
            columns << info.text(1);
        }
    }
    if (!info.status().ok()) {
        return info.status();
    }
    return columns.join(u", ");
}

DbStatus copyRows(Connection& file, const QString& table, const QString& where) {
    const Result<QString> columns = copiedColumns(file, table);
    if (!columns.ok()) {
        return columns.status();
    }
    return file.exec(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM live.%1 t %3")
                         .arg(table, columns.value(), where));
}

QString unseen(int kind, const QString& modified) {
    return QStringLiteral(
               "NOT EXISTS (SELECT 1 FROM live.SyncSeen s WHERE s.Uuid = t.Uuid AND "
               "s.Kind = %1 AND s.Modified = t.%2)")
        .arg(kind)
        .arg(modified);
}

// Fills the file from the live database: every row for a snapshot, else the rows and deletions
// the folder does not hold yet with the history of those records and entries. Every account's
// row goes along (they are few), so that the rows' owners are known wherever the file goes.
DbStatus fillFile(Connection& file, bool snapshot) {
    const auto where = [&](int kind, const QString& modified, const QString& more) {
        QStringList terms;
        if (!more.isEmpty()) {
            terms << more;
        }
        if (!snapshot) {
            terms << unseen(kind, modified);
        }
        return terms.isEmpty() ? QString() : QStringLiteral("WHERE ") + terms.join(u" AND ");
    };
    const QString own = QStringLiteral("t.Uuid IS NOT NULL");
    const QList<std::pair<QString, QString>> tables = {
        {QStringLiteral("Logins"), own},
        {QStringLiteral("LoginsCategory"), own + QStringLiteral(" AND t.UserName <> 'GLOBAL'")},
        {QStringLiteral("Journals"), own},
        {QStringLiteral("Images"), own},
        {QStringLiteral("Files"), own}};
    for (const auto& [table, condition] : tables) {
        if (DbStatus status =
                copyRows(file, table, where(0, QStringLiteral("Modified"), condition));
            !status.ok()) {
            return status;
        }
    }
    if (DbStatus status =
            copyRows(file, QStringLiteral("Tombstones"), where(1, QStringLiteral("Deleted"), {}));
        !status.ok()) {
        return status;
    }
    if (DbStatus status = copyRows(file, QStringLiteral("Users"), {}); !status.ok()) {
        return status;
    }
    const QString ofRows = QStringLiteral(
        "WHERE t.Uuid IN (SELECT Uuid FROM main.%1 UNION SELECT Uuid FROM main.Tombstones)");
    for (const QString& table : {QStringLiteral("Logins"), QStringLiteral("Journals")}) {
        if (DbStatus status = copyRows(file, table + QStringLiteral("History"),
                                       snapshot ? QString() : ofRows.arg(table));
            !status.ok()) {
            return status;
        }
    }
    return {};
}

// Whether the file holds anything the folder does not: a row, a deletion, an account's change.
Result<bool> holdsNews(Connection& file) {
    Statement count = file.prepare(
        QStringLiteral(
            "SELECT (SELECT count(*) FROM main.Logins) + (SELECT count(*) FROM "
            "main.LoginsCategory) "
            "+ (SELECT count(*) FROM main.Journals) + (SELECT count(*) FROM main.Images) "
            "+ (SELECT count(*) FROM main.Files) + (SELECT count(*) FROM main.Tombstones) "
            "+ (SELECT count(*) FROM main.Users t WHERE %1)")
            .arg(unseen(0, QStringLiteral("Modified"))));
    if (!count.next()) {
        return count.status();
    }
    return count.integer(0) > 0;
}

DbStatus nameWriter(Connection& file, const DeviceState& device, const QString& machineName,
                    bool snapshot) {
    Statement insert = file.prepare(
        QStringLiteral("INSERT INTO main.SyncFile (DeviceId, Sequence, MachineName, Made, "
                       "Snapshot) VALUES (?1, ?2, ?3, ?4, ?5)"));
    insert.bind(1, device.id)
        .bind(2, device.nextSequence)
        .bind(3, machineName)
        .bind(4, rowWriteTime())
        .bind(5, snapshot ? 1 : 0);
    return insert.run();
}

// Attaches the live database to the file's connection as "live", to be read in the file's
// transaction. Its pages are the program's size, not the file's: the engine's default for an
// attached file is set for the moment and then put back as it was.
DbStatus attachLive(Connection& file, const QString& livePath) {
    qint64 previous = 1024;
    {
        Statement current = file.prepare(QStringLiteral("PRAGMA cipher_default_page_size"));
        if (current.next()) {
            previous = current.integer(0);
        }
    }
    if (DbStatus status = file.exec(QStringLiteral("PRAGMA cipher_default_page_size = 4096"));
        !status.ok()) {
        return status;
    }
    Statement attach = file.prepare(QStringLiteral("ATTACH DATABASE ?1 AS live KEY ?2"));
    attach.bind(1, livePath).bind(2, QString::fromLatin1(liveDatabaseKey(livePath)));
    const DbStatus attached = attach.run();
    file.exec(QStringLiteral("PRAGMA cipher_default_page_size = %1").arg(previous));
    return attached;
}

// Builds the file at `part`; the versions it holds go to `seen`. False when there is nothing
// to write.
Result<bool> buildFile(const QString& part, const QString& livePath, const DeviceState& device,
                       const QString& machineName, bool snapshot, QList<SeenVersion>& seen) {
    Result<Connection> file = createSyncFile(part, QByteArray::fromHex(device.id.toLatin1()));
    if (!file.ok()) {
        return file.status();
    }
    if (DbStatus status = attachLive(file.value(), livePath); !status.ok()) {
        return status;
    }
    Transaction transaction = file->begin();
    if (!transaction.status().ok()) {
        return transaction.status();
    }
    if (DbStatus status = fillFile(file.value(), snapshot); !status.ok()) {
        return status;
    }
    const Result<bool> news = holdsNews(file.value());
    if (!news.ok() || !news.value()) {
        return news;
    }
    if (DbStatus status = nameWriter(file.value(), device, machineName, snapshot); !status.ok()) {
        return status;
    }
    Result<QList<SeenVersion>> versions = versionsIn(file.value());
    if (!versions.ok()) {
        return versions.status();
    }
    seen = std::move(versions.value());
    if (DbStatus status = transaction.commit(); !status.ok()) {
        return status;
    }
    return true;
}

// Flushes the finished file and gives it its name, with its hash.
Result<WrittenFile> publish(const QString& part, const QString& ownFolder, qint64 sequence,
                            bool snapshot) {
    if (DbStatus status = copying::flushPath(part, O_RDONLY); !status.ok()) {
        return status;
    }
    const Result<QString> hash = fileHash(part);
    if (!hash.ok()) {
        return hash.status();
    }
    WrittenFile written{syncFileName(sequence, hash.value(), snapshot), QFileInfo(part).size(),
                        snapshot};
    const QString target = QDir(ownFolder).filePath(written.name);
    if (::rename(copying::native(part).constData(), copying::native(target).constData()) != 0) {
        return copying::errnoStatus(errno, QStringLiteral("could not write %1").arg(target));
    }
    if (DbStatus status = copying::flushPath(ownFolder, O_RDONLY | O_DIRECTORY); !status.ok()) {
        return status;
    }
    return written;
}

void removeOlderFiles(const QString& ownFolder, qint64 sequence) {
    for (const SyncFileName& file : deviceFiles(ownFolder)) {
        if (file.sequence < sequence) {
            QFile::remove(QDir(ownFolder).filePath(file.name));
        }
    }
}

}  // namespace

bool snapshotDue(const QString& ownFolder, qint64 databaseBytes) {
    const QList<SyncFileName> files = deviceFiles(ownFolder);
    if (files.isEmpty()) {
        return true;
    }
    qint64 bytes = 0;
    int count = 0;
    for (const SyncFileName& file : files) {
        if (file.snapshot) {
            bytes = 0;
            count = 0;
        } else {
            bytes += QFileInfo(QDir(ownFolder).filePath(file.name)).size();
            ++count;
        }
    }
    return bytes > 2 * databaseBytes || (count >= kManyChangeFiles && bytes * 10 > databaseBytes);
}

Result<WrittenFile> writeOwnFile(DatabaseAccess& database, const DeviceState& device,
                                 const QString& ownFolder, const QString& machineName,
                                 bool snapshot) {
    if (device.nextSequence > kLastSequence) {
        return DbStatus{DbCode::Failed,
                        QStringLiteral("This machine has used up the names of its files in the "
                                       "sync folder; choose the folder again to start anew.")};
    }
    const QString part = QDir(ownFolder).filePath(partFileName(device.nextSequence));
    copying::removeWithCompanions(part);
    QList<SeenVersion> seen;
    const Result<bool> built =
        buildFile(part, database.path(), device, machineName, snapshot, seen);
    if (!built.ok() || !built.value()) {
        copying::removeWithCompanions(part);
        return built.ok() ? Result<WrittenFile>(WrittenFile{}) : built.status();
    }
    Result<WrittenFile> written = publish(part, ownFolder, device.nextSequence, snapshot);
    if (!written.ok()) {
        copying::removeWithCompanions(part);
        return written;
    }
    WriteOperation write(database);
    DbStatus status = write.status();
    if (status.ok()) {
        status = noteSeen(write.connection(), seen);
    }
    if (status.ok()) {
        status = noteWritten(write.connection(), device.id, device.nextSequence);
    }
    if (status.ok()) {
        status = write.commit();
    }
    if (!status.ok()) {
        // The file stays. The next pass finds a file of this id that the database does not
        // know of and takes a new id; the file is then applied here as another device's.
        return status;
    }
    if (snapshot) {
        removeOlderFiles(ownFolder, device.nextSequence);
    }
    return written;
}

}  // namespace ks::syncing
