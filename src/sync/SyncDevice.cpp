#include "sync/SyncDevice.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "storage/CopyHelpers.h"
#include "sync/SyncNames.h"

namespace ks::syncing {

namespace {

QByteArray computerId() {
    QFile file(QStringLiteral("/etc/machine-id"));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray id = file.read(256).trimmed();
        if (!id.isEmpty()) {
            return id;
        }
    }
    return QSysInfo::machineUniqueId();
}

QString fingerprintOf(const QString& dataFolder, const QString& databasePath) {
    struct stat info {};
    QByteArray place = computerId() + '\n' + QFileInfo(dataFolder).canonicalFilePath().toUtf8();
    if (::stat(copying::native(databasePath).constData(), &info) == 0) {
        place += '\n' + QByteArray::number(quint64(info.st_dev)) + ':' +
                 QByteArray::number(quint64(info.st_ino));
    }
    return bytesHash(place);
}

// Whether the folder holds files of this id that the database does not know of.
bool wroteOnElsewhere(const QString& syncFolder, const DeviceState& device) {
    if (syncFolder.isEmpty()) {
        return false;
    }
    const QList<SyncFileName> files = deviceFiles(QDir(syncFolder).filePath(device.id));
    return !files.isEmpty() && files.last().sequence >= device.nextSequence;
}

}  // namespace

Result<DeviceState> currentDevice(DatabaseAccess& database, const QString& dataFolder,
                                  const QString& syncFolder) {
    const QString fingerprint = fingerprintOf(dataFolder, database.path());
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    DeviceState device;
    bool holds = false;
    {
        Statement read = connection.prepare(QStringLiteral(
            "SELECT DeviceId, Fingerprint, NextSequence FROM SyncDevice ORDER BY Id LIMIT 1"));
        if (read.next()) {
            device = {read.text(0), read.integer(2)};
            holds = isDeviceId(device.id) && read.text(1) == fingerprint &&
                    device.nextSequence >= 1 && !wroteOnElsewhere(syncFolder, device);
        } else if (!read.status().ok()) {
            return read.status();
        }
    }
    if (holds) {
        return device;  // nothing written: the transaction ends without a change
    }
    device = {newDeviceId(), 1};
    if (DbStatus status = connection.exec(QStringLiteral("DELETE FROM SyncDevice")); !status.ok()) {
        return status;
    }
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT INTO SyncDevice (DeviceId, Fingerprint, NextSequence) VALUES (?1, ?2, 1)"));
    insert.bind(1, device.id).bind(2, fingerprint);
    if (DbStatus status = insert.run(); !status.ok()) {
        return status;
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return device;
}

DbStatus noteWritten(Connection& connection, const QString& deviceId, qint64 sequence) {
    Statement update = connection.prepare(
        QStringLiteral("UPDATE SyncDevice SET NextSequence = max(NextSequence, ?1) "
                       "WHERE DeviceId = ?2"));
    update.bind(1, sequence + 1).bind(2, deviceId);
    return update.run();
}

}  // namespace ks::syncing
