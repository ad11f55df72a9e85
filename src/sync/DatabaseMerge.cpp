#include "sync/DatabaseMerge.h"

#include <QFile>
#include <QScopeGuard>
#include <optional>

#include "crypto/PassPhrase.h"
#include "storage/Backups.h"
#include "storage/CopyHelpers.h"
#include "storage/DatabaseCopy.h"
#include "storage/PageCache.h"
#include "storage/Schema.h"
#include "storage/WorkFiles.h"
#include "sync/MergePlan.h"
#include "sync/MergeWriter.h"

namespace ks {

namespace {

// The checked private copy of the file, removed when the merge is over.
class StagedSource {
public:
    explicit StagedSource(const MergeRequest& request)
        : path_(mergeStagingPath(request.dataFolder)) {
        status_ = stageDatabaseForImport(request.source, path_, PassPhrase());
        if (status_.ok()) {
            Result<Connection> opened = copying::openKeyed(path_, PassPhrase());
            status_ = opened.status();
            if (opened.ok()) {
                connection_.emplace(std::move(opened.value()));
            }
        }
    }
    ~StagedSource() {
        connection_.reset();
        copying::removeWithCompanions(path_);
    }
    StagedSource(const StagedSource&) = delete;
    StagedSource& operator=(const StagedSource&) = delete;

    const DbStatus& status() const { return status_; }
    Connection& connection() { return *connection_; }

private:
    QString path_;
    DbStatus status_;
    std::optional<Connection> connection_;
};

MergeOutcome mergeFailure(DbStatus status) {
    MergeOutcome outcome;
    outcome.status = std::move(status);
    return outcome;
}

MergeOutcome fileRefusal(DbStatus status) {
    MergeOutcome outcome = mergeFailure(std::move(status));
    outcome.fileRefused = true;
    return outcome;
}

MergeOutcome planMergeOn(DatabaseAccess& database, Connection& source,
                         const MergeRequest& request) {
    Result<Connection> target = database.open();
    if (!target.ok()) {
        return mergeFailure(target.status());
    }
    Result<MergeReport> report =
        mergeConnections(target.value(), source, request.keys, false, rowWriteTime());
    if (!report.ok()) {
        return mergeFailure(report.status());
    }
    MergeOutcome outcome;
    outcome.report = std::move(report.value());
    return outcome;
}

}  // namespace

Result<MergeReport> mergeConnections(Connection& target, Connection& source,
                                     const QList<Account>& keys, bool write, qint64 now,
                                     const std::function<bool(int)>& failAfter) {
    // One read transaction over the other database for the whole merge: otherwise every
    // statement on it takes and drops its lock and checks its first page again.
    const bool reading = source.exec(QStringLiteral("BEGIN")).ok();
    const LargerPageCache sourceCache(source, 32 * 1024);
    const auto done = qScopeGuard([&] {
        if (reading) {
            source.exec(QStringLiteral("ROLLBACK"));
        }
    });
    Result<merging::MergePlan> plan = merging::planMerge(target, source, keys, now);
    if (!plan.ok()) {
        return plan.status();
    }
    if (write) {
        if (DbStatus status = merging::writePlan(target, source, plan.value(), now, failAfter);
            !status.ok()) {
            return status;
        }
    }
    return plan.value().report;
}

MergeOutcome planDatabaseMerge(DatabaseAccess& database, const MergeRequest& request) {
    StagedSource source(request);
    if (!source.status().ok()) {
        return fileRefusal(source.status());
    }
    return planMergeOn(database, source.connection(), request);
}

MergeOutcome mergeDatabase(DatabaseAccess& database, const MergeRequest& request) {
    StagedSource source(request);
    if (!source.status().ok()) {
        return fileRefusal(source.status());
    }
    MergeOutcome planned = planMergeOn(database, source.connection(), request);
    if (!planned.ok() || !planned.report.writesAnything()) {
        return planned;
    }
    MergeOutcome outcome;
    if (!request.backupsFolder.isEmpty()) {
        Result<QString> kept =
            makeVerifiedBackup(database.path(), PassPhrase(), request.backupsFolder,
                               QStringLiteral("before-merge"), request.made);
        if (!kept.ok()) {
            return mergeFailure(kept.status());
        }
        outcome.backupPath = kept.value();
    }
    WriteOperation write(database);
    Result<MergeReport> report =
        write.ok() ? mergeConnections(write.connection(), source.connection(), request.keys, true,
                                      rowWriteTime(), request.failAfter)
                   : Result<MergeReport>(write.status());
    DbStatus status = report.ok() ? write.commit() : report.status();
    if (!status.ok()) {
        // Nothing was merged: the copy would only repeat the database that stays.
        if (!outcome.backupPath.isEmpty()) {
            QFile::remove(outcome.backupPath);
        }
        return mergeFailure(std::move(status));
    }
    outcome.report = std::move(report.value());
    return outcome;
}

}  // namespace ks
