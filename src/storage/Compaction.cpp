#include "storage/Compaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <cerrno>
#include <cstring>
#include <optional>

#include "storage/Schema.h"

namespace ks {

namespace {

// Files the engine may keep beside a database; a stale one must never meet a new copy.
const char* const kCompanionSuffixes[] = {"", "-journal", "-wal", "-shm"};

DbStatus fileStatus(int error, const QString& action, const QString& path) {
    DbCode code = DbCode::IoError;
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            code = DbCode::DiskFull;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            code = DbCode::ReadOnly;
            break;
        case ENOENT:
        case ENOTDIR:
            code = DbCode::CannotOpen;
            break;
        default:
            break;
    }
    return {code, QStringLiteral("%1 %2: %3")
                      .arg(action, path, QString::fromLocal8Bit(std::strerror(error)))};
}

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

// Removes the copy and every companion file of it; ok when none is left.
DbStatus removeCopy(const QString& path) {
    DbStatus status;
    for (const char* suffix : kCompanionSuffixes) {
        const QString file = path + QLatin1String(suffix);
        if (::unlink(nativePath(file).constData()) != 0) {
            const int error = errno;
            if (error != ENOENT && status.ok()) {
                status = fileStatus(error, QStringLiteral("could not remove"), file);
            }
        }
    }
    return status;
}

// The engine would make a new file with the process's umask; the copy is private from the start.
DbStatus createPrivateEmptyFile(const QString& path) {
    const int fd =
        ::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return fileStatus(errno, QStringLiteral("could not create"), path);
    }
    DbStatus status;
    if (::fchmod(fd, 0600) != 0) {
        status = fileStatus(errno, QStringLiteral("could not protect"), path);
    }
    ::close(fd);
    return status;
}

DbStatus syncPath(const QString& path, int flags) {
    const int fd = ::open(nativePath(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return fileStatus(errno, QStringLiteral("could not open"), path);
    }
    DbStatus status;
    if (::fsync(fd) != 0) {
        status = fileStatus(errno, QStringLiteral("could not flush"), path);
    }
    ::close(fd);
    return status;
}

DbStatus injectedFailure() {
    return {DbCode::Failed, QStringLiteral("failure injected for a test")};
}

std::optional<qint64> countRows(Connection& connection, const QString& table, DbStatus& status) {
    Statement query = connection.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
    if (query.next()) {
        return query.integer(0);
    }
    status = query.status().ok()
                 ? DbStatus{DbCode::Failed, QStringLiteral("no row count for %1").arg(table)}
                 : query.status();
    return std::nullopt;
}

// The AUTOINCREMENT counters: a copy without them would hand out the keys of deleted rows again.
QList<QPair<QString, qint64>> counters(Connection& connection, DbStatus& status) {
    QList<QPair<QString, qint64>> values;
    Statement query =
        connection.prepare(QStringLiteral("SELECT name, seq FROM sqlite_sequence ORDER BY name"));
    while (query.next()) {
        values.append({query.text(0), query.integer(1)});
    }
    status = query.status();
    return values;
}

// Writes the compacted copy from a connection of its own, keyed like the database, so that the
// copy gets the same salt: it then opens with the same pass phrase and the same raw key.
DbStatus exportCopy(const QString& databasePath, const QString& outputPath, const QByteArray& key,
                    const QString& passPhrase, const QByteArray& salt) {
    // Never an empty key: the engine would take it as "no encryption" and write a plain copy.
    const QByteArray keyWithSalt = rawKeyWithSalt(passPhrase, salt);
    if (keyWithSalt.isEmpty()) {
        return {DbCode::Failed, QStringLiteral("the key of the compacted copy could not be made")};
    }
    if (DbStatus status = createPrivateEmptyFile(outputPath); !status.ok()) {
        return status;
    }
    Result<Connection> source = Connection::openFile(databasePath, key, false);
    if (!source.ok()) {
        return source.status();
    }
    Statement attach = source->prepare(QStringLiteral("ATTACH DATABASE ?1 AS compacted KEY ?2"));
    attach.bind(1, outputPath).bind(2, QString::fromLatin1(keyWithSalt));
    if (DbStatus status = attach.run(); !status.ok()) {
        return status;
    }
    DbStatus status = source->exec(QStringLiteral("PRAGMA compacted.cipher_page_size = 4096"));
    if (status.ok()) {
        status = source->prepare(QStringLiteral("SELECT sqlcipher_export('compacted')")).run();
    }
    const DbStatus detached = source->exec(QStringLiteral("DETACH DATABASE compacted"));
    return status.ok() ? detached : status;
}

// Opens the copy on its own, as the program will, and compares it with the locked database.
DbStatus verifyCopy(Connection& database, const QString& outputPath, const QByteArray& key,
                    const QByteArray& salt) {
    if (readSalt(outputPath) != salt) {
        return {DbCode::NotADatabase, QStringLiteral("the compacted copy has another salt")};
    }
    Result<Connection> copy = Connection::openFile(outputPath, key, false);
    if (!copy.ok()) {
        return copy.status();
    }
    if (DbStatus status = verifyDatabase(copy.value()); !status.ok()) {
        return status;
    }
    DbStatus status;
    for (const QString& table : schemaTableNames()) {
        const std::optional<qint64> expected = countRows(database, table, status);
        const std::optional<qint64> found = countRows(copy.value(), table, status);
        if (!status.ok()) {
            return status;
        }
        if (expected != found) {
            return {DbCode::Failed,
                    QStringLiteral("the compacted copy holds %1 rows of %2 instead of %3")
                        .arg(*found)
                        .arg(table)
                        .arg(*expected)};
        }
    }
    DbStatus copyStatus;
    const bool sameCounters = counters(database, status) == counters(copy.value(), copyStatus);
    if (!status.ok() || !copyStatus.ok()) {
        return status.ok() ? copyStatus : status;
    }
    if (!sameCounters) {
        return {DbCode::Failed, QStringLiteral("the compacted copy lost the row counters")};
    }
    return {};
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

}  // namespace

CompactionOutcome compactDatabaseFile(const QString& databasePath, const QString& outputPath,
                                      const QString& passPhrase, const CompactionHooks& hooks) {
    const auto injected = [&hooks](CompactionStep step) {
        return hooks.failAt && hooks.failAt(step);
    };
    const auto failure = [&outputPath](CompactionStep step, DbStatus status) {
        // The database itself is never touched before the rename, so removing the copy is all
        // the cleaning up there is.
        removeCopy(outputPath);
        return CompactionOutcome{false, step, std::move(status)};
    };
    using Step = CompactionStep;

    // 1. A copy left by an interrupted run, with its journal, goes first. Never the database
    // itself, whatever the caller passed.
    if (QFileInfo(outputPath).absoluteFilePath() == QFileInfo(databasePath).absoluteFilePath()) {
        return {false,
                Step::DiscardLeftover,
                {DbCode::Failed, QStringLiteral("the copy would overwrite the database")}};
    }
    if (DbStatus status = removeCopy(outputPath); !status.ok()) {
        return failure(Step::DiscardLeftover, status);
    }
    if (injected(Step::DiscardLeftover)) {
        return failure(Step::DiscardLeftover, injectedFailure());
    }

    // 2. The writer's lock, held until the copy has replaced the database: no other writer (a
    // second running copy of the program, say) can change the rows being copied. Readers may go
    // on, including the export's own connection.
    const QByteArray salt = readSalt(databasePath);
    if (salt.isEmpty()) {
        return failure(
            Step::Lock,
            {DbCode::NotADatabase, QStringLiteral("%1 is missing or too short").arg(databasePath)});
    }
    // Worked out once: every connection below uses the same salt, so the same raw key.
    const QByteArray key = rawKeyFor(passPhrase, salt);
    if (key.isEmpty()) {
        return failure(Step::Lock, {DbCode::Failed,
                                    QStringLiteral("the key of the database could not be made")});
    }
    Result<Connection> lock = Connection::openFile(databasePath, key, false);
    if (!lock.ok()) {
        return failure(Step::Lock, lock.status());
    }
    DbStatus status =
        lock->exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(qMax(0, hooks.lockTimeoutMs)));
    if (!status.ok()) {
        return failure(Step::Lock, status);
    }
    Transaction held = lock->begin();
    if (!held.status().ok()) {
        return failure(Step::Lock, held.status());
    }
    if (status = verifyDatabase(lock.value()); !status.ok()) {
        return failure(Step::Lock, status);
    }
    if (injected(Step::Lock)) {
        return failure(Step::Lock, injectedFailure());
    }

    // 3. The compacted copy.
    if (status = exportCopy(databasePath, outputPath, key, passPhrase, salt); !status.ok()) {
        return failure(Step::Export, status);
    }
    if (injected(Step::Export)) {
        return failure(Step::Export, injectedFailure());
    }

    // 4. The copy must stand on its own before it may replace anything.
    if (status = verifyCopy(lock.value(), outputPath, key, salt); !status.ok()) {
        return failure(Step::Verify, status);
    }
    if (injected(Step::Verify)) {
        return failure(Step::Verify, injectedFailure());
    }

    // 5. On the disk before the rename, so a crash cannot leave a renamed but empty file.
    if (status = syncPath(outputPath, O_RDONLY); !status.ok()) {
        return failure(Step::Flush, status);
    }
    if (injected(Step::Flush)) {
        return failure(Step::Flush, injectedFailure());
    }

    // 6. One rename: the database is either the old file or the complete copy, never a mix.
    if (injected(Step::Replace)) {
        return failure(Step::Replace, injectedFailure());
    }
    if (::rename(nativePath(outputPath).constData(), nativePath(databasePath).constData()) != 0) {
        return failure(
            Step::Replace,
            fileStatus(errno, QStringLiteral("could not rename the copy to"), databasePath));
    }
    // The rename is done and the database is the verified copy whatever follows; flushing the
    // folder only makes the rename survive a power cut, so a failure here changes nothing.
    syncPath(folderOf(databasePath), O_RDONLY | O_DIRECTORY);
    return {};
}

}  // namespace ks
