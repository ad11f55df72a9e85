#include "storage/DatabaseCopy.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFileInfo>
#include <cerrno>

#include "storage/CopyHelpers.h"

namespace ks {

namespace {

using namespace copying;

DbStatus verifyCopy(Connection& live, const QString& copyPath, const QString& passPhrase) {
    Result<Connection> copy = openKeyed(copyPath, passPhrase);
    if (!copy.ok()) {
        return copy.status();
    }
    DbStatus status = verifyDatabase(copy.value());
    if (status.ok()) {
        status = integrityOf(copy.value());
    }
    return status.ok() ? sameRowCounts(live, copy.value()) : status;
}

}  // namespace

QString partialCopyPath(const QString& destination) {
    return destination + QStringLiteral(".part");
}

DbStatus writeVerifiedCopy(const QString& databasePath, const QString& passPhrase,
                           const QString& destination, const CopyHooks& hooks) {
    const auto fails = [&hooks](CopyStep step) { return hooks.failAt && hooks.failAt(step); };
    const QString part = partialCopyPath(destination);
    const auto failure = [&part](DbStatus status) {
        removeWithCompanions(part);
        return status;
    };
    removeWithCompanions(part);

    // The writer's lock stays until the copy has its name: no write can land in between.
    Result<Connection> live = openKeyed(databasePath, passPhrase);
    if (!live.ok()) {
        return live.status();
    }
    live->exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(qMax(0, hooks.lockTimeoutMs)));
    Transaction lock = live->begin();
    DbStatus status = lock.status().ok() ? verifyDatabase(live.value()) : lock.status();
    if (!status.ok() || fails(CopyStep::Lock)) {
        return status.ok() ? injected() : status;
    }
    // With the lock held and nothing pending, the file on the disk is the whole database.
    if (status = copyBytes(databasePath, part); !status.ok() || fails(CopyStep::Write)) {
        return failure(status.ok() ? injected() : status);
    }
    status = verifyCopy(live.value(), part, passPhrase);
    if (!status.ok() || fails(CopyStep::Verify)) {
        return failure(status.ok() ? injected() : status);
    }
    if (status = flushPath(part, O_RDONLY); !status.ok() || fails(CopyStep::Flush)) {
        return failure(status.ok() ? injected() : status);
    }
    if (fails(CopyStep::Rename)) {
        return failure(injected());
    }
    if (::rename(native(part).constData(), native(destination).constData()) != 0) {
        return failure(
            errnoStatus(errno, QStringLiteral("could not rename the copy to %1").arg(destination)));
    }
    flushPath(QFileInfo(destination).absolutePath(), O_RDONLY | O_DIRECTORY);
    return {};
}

}  // namespace ks
