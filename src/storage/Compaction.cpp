#include "storage/Compaction.h"

#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <optional>

#include "storage/AtomicFile.h"

namespace ks {

namespace {

// Files the engine may keep beside a database; a stale one must never meet a new copy.
const char* const kCompanionSuffixes[] = {"", "-journal", "-wal", "-shm"};

DbStatus fileStatus(int error, const QString& action, const QString& path) {
    DbCode code = DbCode::IoError;
    if (error == ENOSPC || error == EDQUOT) {
        code = DbCode::DiskFull;
    } else if (error == EACCES || error == EPERM || error == EROFS) {
        code = DbCode::ReadOnly;
    }
    return {code, systemError(action, path, error)};
}

DbStatus injectedFailure() {
    return {DbCode::Failed, QStringLiteral("failure injected for a test")};
}

// What the steps share: the paths, the key and the one connection that does the work.
struct CompactionRun {
    QString databasePath;
    QString outputPath;
    QString passPhrase;
    const CompactionHooks& hooks;
    std::optional<Connection> connection;
};

// A copy that an earlier version of the program made beside the database (and its journal)
// is of no use any more; it goes, but never the database itself.
DbStatus discardLeftover(CompactionRun& run) {
    if (QFileInfo(run.outputPath).absoluteFilePath() ==
        QFileInfo(run.databasePath).absoluteFilePath()) {
        return {DbCode::Failed, QStringLiteral("the copy would overwrite the database")};
    }
    for (const char* suffix : kCompanionSuffixes) {
        const QString file = run.outputPath + QLatin1String(suffix);
        if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT) {
            return fileStatus(errno, QStringLiteral("remove"), file);
        }
    }
    return {};
}

// One connection keyed with the raw key of the file's salt (no key stretching), checked to be
// a database of this program before anything is rewritten.
DbStatus openDatabase(CompactionRun& run) {
    const QByteArray salt = readSalt(run.databasePath);
    if (salt.isEmpty()) {
        return {DbCode::NotADatabase,
                QStringLiteral("%1 is missing or too short").arg(run.databasePath)};
    }
    const QByteArray key = rawKeyFor(run.passPhrase, salt);
    if (key.isEmpty()) {
        return {DbCode::Failed, QStringLiteral("the key of the database could not be made")};
    }
    Result<Connection> opened = Connection::openFile(run.databasePath, key, false);
    if (!opened.ok()) {
        return opened.status();
    }
    run.connection.emplace(std::move(opened.value()));
    const int waitMs = qMax(0, run.hooks.lockTimeoutMs);
    if (DbStatus status =
            run.connection->exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(waitMs));
        !status.ok()) {
        return status;
    }
    return verifyDatabase(*run.connection);
}

// The engine writes the compacted pages into a temporary database and copies them back through
// its rollback journal while it holds the exclusive lock: all or nothing, also across a crash.
DbStatus vacuum(CompactionRun& run) {
    return run.connection->exec(QStringLiteral("VACUUM"));
}

DbStatus verifyResult(CompactionRun& run) {
    Statement check = run.connection->prepare(QStringLiteral("PRAGMA quick_check"));
    if (!check.next()) {
        return check.status().ok() ? DbStatus{DbCode::Failed, QStringLiteral("no check result")}
                                   : check.status();
    }
    if (const QString answer = check.text(0); answer != QLatin1String("ok")) {
        return {DbCode::NotADatabase, QStringLiteral("the database check says: %1").arg(answer)};
    }
    return verifyDatabase(*run.connection);
}

// The steps in the order they run.
struct StepEntry {
    CompactionStep step;
    DbStatus (*run)(CompactionRun&);
};
const StepEntry kSteps[] = {
    {CompactionStep::DiscardLeftover, discardLeftover},
    {CompactionStep::Open, openDatabase},
    {CompactionStep::Vacuum, vacuum},
    {CompactionStep::Verify, verifyResult},
};

}  // namespace

CompactionOutcome compactDatabaseFile(const QString& databasePath, const QString& outputPath,
                                      const QString& passPhrase, const CompactionHooks& hooks) {
    CompactionRun run{databasePath, outputPath, passPhrase, hooks, std::nullopt};
    for (const StepEntry& entry : kSteps) {
        if (hooks.failAt && hooks.failAt(entry.step)) {
            return {false, entry.step, injectedFailure()};
        }
        if (DbStatus status = entry.run(run); !status.ok()) {
            return {false, entry.step, std::move(status)};
        }
    }
    return {};
}

}  // namespace ks
