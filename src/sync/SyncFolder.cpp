#include "sync/SyncFolder.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include "storage/CheckOutPaths.h"
#include "storage/CopyHelpers.h"
#include "sync/SyncApply.h"
#include "sync/SyncDevice.h"
#include "sync/SyncWriter.h"

namespace ks {

namespace {

using namespace syncing;

// The sync folder must be there and be a folder; nothing is ever made in its place.
DbStatus checkFolder(const QString& folder) {
    if (folder.trimmed().isEmpty()) {
        return {DbCode::CannotOpen, QStringLiteral("No sync folder is chosen.")};
    }
    const QFileInfo info(folder);
    if (!info.exists()) {
        return {DbCode::CannotOpen, QStringLiteral("The sync folder %1 is not there.").arg(folder)};
    }
    if (!info.isDir()) {
        return {DbCode::CannotOpen,
                QStringLiteral("The sync folder %1 is not a folder.").arg(folder)};
    }
    return {};
}

// This device's own folder in the sync folder, made private when it is not there yet; a link
// or anything else under its name is refused.
Result<QString> ownFolder(const QString& syncFolder, const QString& id) {
    const QString path = QDir(syncFolder).filePath(id);
    struct stat info {};
    if (::lstat(copying::native(path).constData(), &info) != 0) {
        if (!folderIsWritable(syncFolder)) {
            return DbStatus{
                DbCode::ReadOnly,
                QStringLiteral("The sync folder %1 cannot be written to.").arg(syncFolder)};
        }
        if (::mkdir(copying::native(path).constData(), 0700) != 0) {
            return copying::errnoStatus(errno, QStringLiteral("could not make %1").arg(path));
        }
        return path;
    }
    if (!S_ISDIR(info.st_mode)) {
        return DbStatus{DbCode::CannotOpen,
                        QStringLiteral("%1 in the sync folder is not a folder.").arg(id)};
    }
    return path;
}

QString machineNameOf(const SyncRequest& request) {
    const QString name = request.machineName.trimmed();
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

// The device, after the folder's check; the failure goes to the outcome.
std::optional<DeviceState> deviceFor(DatabaseAccess& database, const SyncRequest& request,
                                     SyncOutcome& outcome) {
    if (DbStatus status = checkFolder(request.syncFolder); !status.ok()) {
        outcome.status = status;
        return std::nullopt;
    }
    Result<DeviceState> device = currentDevice(database, request.dataFolder, request.syncFolder);
    if (!device.ok()) {
        outcome.status = device.status();
        return std::nullopt;
    }
    return device.value();
}

void listMachines(DatabaseAccess& database, const SyncRequest& request, const QString& ownId,
                  SyncOutcome& outcome) {
    Result<QList<SyncMachine>> machines = readMachines(database, request.syncFolder, ownId);
    if (machines.ok()) {
        outcome.machines = std::move(machines.value());
    } else if (outcome.status.ok()) {
        outcome.status = machines.status();
    }
}

void writeInto(DatabaseAccess& database, const SyncRequest& request, const DeviceState& device,
               SyncOutcome& outcome) {
    Result<QString> folder = ownFolder(request.syncFolder, device.id);
    if (!folder.ok()) {
        outcome.status = folder.status();
        return;
    }
    const bool snapshot = snapshotDue(folder.value(), QFileInfo(database.path()).size());
    Result<WrittenFile> written =
        writeOwnFile(database, device, folder.value(), machineNameOf(request), snapshot);
    if (!written.ok()) {
        outcome.status = written.status();
        return;
    }
    if (!written->name.isEmpty()) {
        outcome.filesWritten = 1;
        outcome.bytesWritten = written->bytes;
        outcome.snapshotWritten = written->snapshot;
    }
}

// What of a protected account whose key the caller holds is still in the shared format (rows
// written before its protection, taken from another machine, was known where they were made)
// is sealed once the files are applied.
void sealLeftovers(DatabaseAccess& database, const SyncRequest& request, SyncOutcome& outcome) {
    if (!outcome.ok() || !request.sealUnsealed) {
        return;
    }
    for (const Account& key : request.keys) {
        if (!key.isProtected()) {
            continue;
        }
        const Result<int> sealed = request.sealUnsealed(database, key);
        if (!sealed.ok()) {
            outcome.status = sealed.status();
            return;
        }
        outcome.rowsSealed += sealed.value();
    }
}

// A pass: other machines' files applied, then (unless applying failed) this machine's written,
// then the machines seen listed.
SyncOutcome runPass(DatabaseAccess& database, const SyncRequest& request, bool apply, bool write) {
    SyncOutcome outcome;
    const std::optional<DeviceState> device = deviceFor(database, request, outcome);
    if (!device) {
        return outcome;
    }
    if (apply) {
        applyOtherDevices(database, request, *device, outcome);
        sealLeftovers(database, request, outcome);
    }
    if (write && outcome.ok()) {
        writeInto(database, request, *device, outcome);
    }
    listMachines(database, request, device->id, outcome);
    return outcome;
}

}  // namespace

SyncOutcome applySyncFolder(DatabaseAccess& database, const SyncRequest& request) {
    return runPass(database, request, true, false);
}

SyncOutcome writeSyncChanges(DatabaseAccess& database, const SyncRequest& request) {
    return runPass(database, request, false, true);
}

SyncOutcome syncOnce(DatabaseAccess& database, const SyncRequest& request) {
    return runPass(database, request, true, true);
}

QList<SyncMachine> syncMachines(DatabaseAccess& database, const SyncRequest& request) {
    return runPass(database, request, false, false).machines;
}

Result<QString> syncDeviceId(DatabaseAccess& database, const QString& dataFolder) {
    Result<DeviceState> device = currentDevice(database, dataFolder, {});
    if (!device.ok()) {
        return device.status();
    }
    return device->id;
}

}  // namespace ks
