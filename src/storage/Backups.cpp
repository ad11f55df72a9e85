#include "storage/Backups.h"

#include <fcntl.h>
#include <sqlcipher/sqlite3.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <numeric>
#include <utility>

#include "storage/CopyHelpers.h"
#include "storage/DataFolder.h"

namespace ks {

namespace {

using namespace copying;

constexpr qint64 kFirstPage = 4096;
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString kReason = QStringLiteral("[a-z0-9]+(?:-[a-z0-9]+)*");

const QRegularExpression& backupName() {
    static const QRegularExpression pattern(
        QStringLiteral("^Data-(\\d{8}-\\d{6})-(%1)(?:_(\\d+))?\\.mdb$").arg(kReason));
    return pattern;
}

// A name of its own for this copy: a second copy within the same second gets "_2", and so on.
QString freeName(const QString& folder, const QDateTime& made, const QString& reason) {
    const QString stem = QStringLiteral("Data-%1-%2").arg(made.toString(kTimeFormat), reason);
    QString name = stem + QStringLiteral(".mdb");
    for (int n = 2; QFileInfo::exists(folder + name) ||
                    QFileInfo::exists(folder + name + QStringLiteral(".part"));
         ++n) {
        name = QStringLiteral("%1_%2.mdb").arg(stem).arg(n);
    }
    return name;
}

// An empty private file for the engine to make the copy in: it takes the file's mode for its
// journal too.
DbStatus makePrivateFile(const QString& path) {
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errnoStatus(errno, QStringLiteral("could not create %1").arg(path));
    }
    ::close(fd);
    return {};
}

// Copies every page of `source` into the new database at `target`, keyed with the pass phrase.
DbStatus copyPages(Connection& source, const QString& target, const QString& passPhrase) {
    Result<Connection> copy = Connection::openFile(target, passPhrase.toUtf8(), false);
    if (!copy.ok()) {
        return copy.status();
    }
    sqlite3* into = copy->engineHandle();
    sqlite3_backup* backup = sqlite3_backup_init(into, "main", source.engineHandle(), "main");
    if (backup == nullptr) {
        return engineStatus(sqlite3_errcode(into), into);
    }
    const int rc = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        return engineStatus(rc, into);
    }
    return finished == SQLITE_OK ? DbStatus{} : engineStatus(finished, into);
}

// The copy's own check: its tables, and every page of it sound.
DbStatus checkCopy(Connection& copy) {
    const DbStatus status = verifyDatabase(copy);
    return status.ok() ? integrityOf(copy) : status;
}

DbStatus verifyBackup(Connection& source, const QString& path, const QString& passPhrase) {
    Result<Connection> copy = openKeyed(path, passPhrase);
    if (!copy.ok()) {
        return copy.status();
    }
    const DbStatus status = checkCopy(copy.value());
    return status.ok() ? sameRowCounts(source, copy.value()) : status;
}

// Copies the pages a few at a time, each step under a read lock of its own, so that writers
// commit between steps (a commit makes the engine start the copy again). The last step, and
// the comparison of the copy's row counts with the database's, run under one read lock: the
// copy is compared with the very state it holds. The copy's own check of every page needs no
// lock of the database (it takes seconds on a large one, which writers would wait for). Writes
// that keep coming faster than the copy can finish make it give up (Busy) rather than keep the
// writers waiting.
class SteppedCopy {
public:
    SteppedCopy(Connection& source, sqlite3_backup* backup) : source_(source), backup_(backup) {}

    DbStatus run(const std::function<bool()>& stopped, const std::function<DbStatus()>& check) {
        constexpr int kPagesPerStep = 256;  // a megabyte at the engine's page size
        constexpr int kNewStarts = 20;
        constexpr int kBusyWaits = 500;  // ten seconds of writers in the way: the copy gives up
        int rc = sqlite3_backup_step(backup_, 0);  // learns how many pages there are
        int remaining = sqlite3_backup_remaining(backup_);
        int newStarts = 0;
        int busyWaits = 0;
        while (rc == SQLITE_OK ||
               ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && busyWaits < kBusyWaits)) {
            if (stopped && stopped()) {
                return {DbCode::Cancelled, QStringLiteral("the copy was stopped")};
            }
            if (newStarts > kNewStarts) {
                return {DbCode::Busy,
                        QStringLiteral("the database kept changing while its copy was made")};
            }
            if (!held_ && remaining <= kPagesPerStep) {
                hold();
            }
            rc = sqlite3_backup_step(backup_, kPagesPerStep);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                ++busyWaits;
                sqlite3_sleep(20);  // a writer is committing
            }
            const int left = sqlite3_backup_remaining(backup_);
            newStarts += left > remaining ? 1 : 0;
            remaining = left;
        }
        if (rc != SQLITE_DONE) {
            return engineStatus(rc, source_.engineHandle());
        }
        if (!held_) {
            hold();  // a commit since the last step makes the check fail, and the copy again
        }
        return check();
    }
    ~SteppedCopy() { release(); }

    // The database's writers may go on.
    void release() {
        if (held_) {
            source_.exec(QStringLiteral("ROLLBACK"));
            held_ = false;
        }
    }

private:
    void hold() {
        held_ = source_.exec(QStringLiteral("BEGIN")).ok() &&
                source_.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")).ok();
        if (!held_) {
            source_.exec(QStringLiteral("ROLLBACK"));
        }
    }

    Connection& source_;
    sqlite3_backup* backup_;
    bool held_ = false;
};

// The copy made in steps and checked against the database.
DbStatus writeInStepsAndVerify(const QString& databasePath, const QString& passPhrase,
                               const QString& part, const std::function<bool()>& stopped) {
    Result<Connection> source = openKeyed(databasePath, passPhrase);
    if (!source.ok()) {
        return source.status();
    }
    DbStatus status = verifyDatabase(source.value());
    if (status.ok()) {
        status = makePrivateFile(part);
    }
    if (!status.ok()) {
        return status;
    }
    Result<Connection> copy = Connection::openFile(part, passPhrase.toUtf8(), false);
    if (!copy.ok()) {
        return copy.status();
    }
    // The unfinished copy is put on the disk once, when whole, not at every step.
    copy->exec(QStringLiteral("PRAGMA synchronous = OFF"));
    sqlite3* into = copy->engineHandle();
    sqlite3_backup* backup = sqlite3_backup_init(into, "main", source->engineHandle(), "main");
    if (backup == nullptr) {
        return engineStatus(sqlite3_errcode(into), into);
    }
    {
        SteppedCopy stepped(source.value(), backup);
        status = stepped.run(stopped, [&]() -> DbStatus {
            const int finished = sqlite3_backup_finish(std::exchange(backup, nullptr));
            if (finished != SQLITE_OK) {
                return engineStatus(finished, into);
            }
            Result<Connection> made = openKeyed(part, passPhrase);
            if (!made.ok()) {
                return made.status();
            }
            const DbStatus counted = sameRowCounts(source.value(), made.value());
            stepped.release();
            return counted.ok() ? checkCopy(made.value()) : counted;
        });
    }
    if (backup != nullptr) {
        sqlite3_backup_finish(backup);
    }
    return status;
}

// Puts a whole, checked copy under its name, or removes what was made of it.
Result<QString> nameCopy(const QString& folder, const QString& part, const QString& path,
                         DbStatus status) {
    if (status.ok()) {
        status = flushPath(part, O_RDONLY);
    }
    if (status.ok() && ::rename(native(part).constData(), native(path).constData()) != 0) {
        status = errnoStatus(errno, QStringLiteral("could not name the copy %1").arg(path));
    }
    if (!status.ok()) {
        removeWithCompanions(part);
        return status;
    }
    flushPath(folder, O_RDONLY | O_DIRECTORY);
    return path;
}

// The folder of a new copy made ready, and the copy's path; or why no copy can be made.
Result<QString> newCopyPath(const QString& folder, const QString& reason, const QDateTime& made) {
    static const QRegularExpression reasonWords(QStringLiteral("^%1$").arg(kReason));
    if (!reasonWords.match(reason).hasMatch()) {
        return DbStatus{DbCode::Failed, QStringLiteral("a backup's reason is a few plain words")};
    }
    if (!ensurePrivateFolder(folder)) {
        return DbStatus{DbCode::ReadOnly,
                        QStringLiteral("could not make the folder %1").arg(folder)};
    }
    return withTrailingSlash(folder) + freeName(withTrailingSlash(folder), made, reason);
}

// The copy and its check, on one snapshot of the database: the read transaction keeps every
// writer's commit out until both are done.
DbStatus writeAndVerify(const QString& databasePath, const QString& passPhrase, const QString& part,
                        QByteArray* copiedState) {
    Result<Connection> source = openKeyed(databasePath, passPhrase);
    if (!source.ok()) {
        return source.status();
    }
    DbStatus status = source->exec(QStringLiteral("BEGIN"));
    if (status.ok()) {
        status = verifyDatabase(source.value());  // also takes the reader's lock
    }
    if (status.ok()) {
        status = makePrivateFile(part);
    }
    if (status.ok()) {
        status = copyPages(source.value(), part, passPhrase);
    }
    if (status.ok()) {
        status = verifyBackup(source.value(), part, passPhrase);
    }
    if (status.ok() && copiedState != nullptr) {
        *copiedState = databaseFileState(databasePath);
    }
    source->exec(QStringLiteral("ROLLBACK"));
    return status;
}

}  // namespace

QString backupsFolderIn(const QString& dataFolder) {
    return withTrailingSlash(dataFolder) + QStringLiteral("Backups/");
}

Result<QString> makeVerifiedBackup(const QString& databasePath, const QString& passPhrase,
                                   const QString& folder, const QString& reason,
                                   const QDateTime& made, QByteArray* copiedState) {
    const Result<QString> path = newCopyPath(folder, reason, made);
    if (!path.ok()) {
        return path;
    }
    const QString part = path.value() + QStringLiteral(".part");
    return nameCopy(folder, part, path.value(),
                    writeAndVerify(databasePath, passPhrase, part, copiedState));
}

Result<QString> makeVerifiedBackupBesideWork(const QString& databasePath, const QString& passPhrase,
                                             const QString& folder, const QString& reason,
                                             const QDateTime& made,
                                             const std::function<bool()>& stopped) {
    const Result<QString> path = newCopyPath(folder, reason, made);
    if (!path.ok()) {
        return path;
    }
    const QString part = path.value() + QStringLiteral(".part");
    DbStatus status;
    for (int attempt = 0; attempt < 3; ++attempt) {
        status = writeInStepsAndVerify(databasePath, passPhrase, part, stopped);
        if (status.ok() || status.code != DbCode::Failed) {
            break;  // only a copy that differs from the database is made again
        }
        removeWithCompanions(part);
    }
    return nameCopy(folder, part, path.value(), status);
}

QByteArray databaseFileState(const QString& databasePath) {
    QFile file(databasePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QByteArray::number(file.size()) + ':' + file.read(kFirstPage);
}

QList<BackupFile> listBackups(const QString& dataFolder) {
    QList<BackupFile> found;
    const QString folder = backupsFolderIn(dataFolder);
    const QStringList names = QDir(folder).entryList({QStringLiteral("Data-*.mdb")}, QDir::Files);
    QList<int> sequence;
    for (const QString& name : names) {
        const QRegularExpressionMatch match = backupName().match(name);
        if (match.hasMatch()) {
            found.append({folder + name, QDateTime::fromString(match.captured(1), kTimeFormat),
                          match.captured(2)});
            sequence.append(match.captured(3).isEmpty() ? 1 : match.captured(3).toInt());
        }
    }
    const QFileInfo older(withTrailingSlash(dataFolder) + QStringLiteral("Data.mdb.bak"));
    if (older.isFile()) {
        found.append({older.filePath(), older.lastModified(), QStringLiteral("before-import")});
        sequence.append(1);
    }
    QList<qsizetype> order(found.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return found[a].made != found[b].made ? found[a].made < found[b].made
                                              : sequence[a] < sequence[b];
    });
    QList<BackupFile> sorted;
    for (const qsizetype i : order) {
        sorted.append(found[i]);
    }
    return sorted;
}

void removeUnfinishedBackups(const QString& folder) {
    const QStringList parts = QDir(folder).entryList(
        {QStringLiteral("*.part"), QStringLiteral("*.part-journal")}, QDir::Files | QDir::Hidden);
    for (const QString& name : parts) {
        ::unlink(native(withTrailingSlash(folder) + name).constData());
    }
}

}  // namespace ks
