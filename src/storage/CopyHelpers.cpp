#include "storage/CopyHelpers.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "storage/Schema.h"

namespace ks::copying {

namespace {
constexpr qint64 kChunk = 1 << 20;
}

DbStatus injected() {
    return {DbCode::Failed, QStringLiteral("failure injected for a test")};
}

DbStatus errnoStatus(int error, const QString& what) {
    const DbCode code = error == ENOSPC || error == EDQUOT                    ? DbCode::DiskFull
                        : error == EACCES || error == EPERM || error == EROFS ? DbCode::ReadOnly
                        : error == ENOENT || error == ENOTDIR || error == EISDIR
                            ? DbCode::CannotOpen
                            : DbCode::IoError;
    return {code, QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(error)))};
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

void removeWithCompanions(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        ::unlink(native(path + QLatin1String(suffix)).constData());
    }
}

DbStatus flushPath(const QString& path, int flags) {
    const int fd = ::open(native(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) {
        return errnoStatus(errno, QStringLiteral("could not open %1").arg(path));
    }
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return rc == 0 ? DbStatus{}
                   : errnoStatus(error, QStringLiteral("could not flush %1").arg(path));
}

// Copies a file's bytes into a new private file (0600) that must not exist yet.
DbStatus copyBytes(const QString& source, const QString& target) {
    const int in = ::open(native(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errnoStatus(errno, QStringLiteral("could not read %1").arg(source));
    }
    const int out =
        ::open(native(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return errnoStatus(error, QStringLiteral("could not create %1").arg(target));
    }
    DbStatus status;
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), size_t(kChunk));
        if (got < 0) {
            status = errnoStatus(errno, QStringLiteral("could not read %1").arg(source));
            break;
        }
        if (got == 0) {
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.constData() + done, size_t(got - done));
            if (put < 0) {
                status = errnoStatus(errno, QStringLiteral("could not write %1").arg(target));
                break;
            }
            done += put;
        }
        if (!status.ok()) {
            break;
        }
    }
    if (status.ok() && ::fsync(out) != 0) {
        status = errnoStatus(errno, QStringLiteral("could not flush %1").arg(target));
    }
    ::close(in);
    if (::close(out) != 0 && status.ok()) {
        status = errnoStatus(errno, QStringLiteral("could not write %1").arg(target));
    }
    return status;
}

// Opens a file keyed with the raw key its own salt gives.
Result<Connection> openKeyed(const QString& path, const QString& passPhrase) {
    const QByteArray salt = readSalt(path);
    if (salt.isEmpty()) {
        return DbStatus{DbCode::NotADatabase, QStringLiteral("%1 is empty or too short").arg(path)};
    }
    const QByteArray key = rawKeyFor(passPhrase, salt);
    if (key.isEmpty()) {
        return DbStatus{DbCode::Failed, QStringLiteral("the key could not be made")};
    }
    return Connection::openFile(path, key, false);
}

DbStatus integrityOf(Connection& connection) {
    Statement check = connection.prepare(QStringLiteral("PRAGMA integrity_check"));
    QStringList problems;
    while (check.next()) {
        problems << check.text(0);
    }
    if (!check.status().ok()) {
        return check.status();
    }
    if (problems != QStringList{QStringLiteral("ok")}) {
        return {DbCode::NotADatabase,
                QStringLiteral("integrity check: %1").arg(problems.mid(0, 3).join(u"; "))};
    }
    return {};
}

Result<QList<qint64>> rowCountsOf(Connection& connection) {
    QList<qint64> counts;
    for (const QString& table : allTableNames()) {
        Statement count = connection.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(table));
        if (!count.next()) {
            return count.status();
        }
        counts.append(count.integer(0));
    }
    return counts;
}

DbStatus sameRowCounts(const QList<qint64>& expected, Connection& copy) {
    const Result<QList<qint64>> counts = rowCountsOf(copy);
    if (!counts.ok()) {
        return counts.status();
    }
    const QStringList tables = allTableNames();
    for (qsizetype i = 0; i < tables.size() && i < expected.size(); ++i) {
        if (counts.value().at(i) != expected.at(i)) {
            return {DbCode::Failed, QStringLiteral("the copy holds %1 rows of %2 instead of %3")
                                        .arg(counts.value().at(i))
                                        .arg(tables.at(i))
                                        .arg(expected.at(i))};
        }
    }
    return {};
}

DbStatus sameRowCounts(Connection& live, Connection& copy) {
    const Result<QList<qint64>> counts = rowCountsOf(live);
    return counts.ok() ? sameRowCounts(counts.value(), copy) : counts.status();
}

}  // namespace ks::copying
