#include "sync/SyncApply.h"

#include <sys/stat.h>

#include <QDir>
#include <QHash>
#include <QSet>
#include <optional>

#include "storage/CopyHelpers.h"
#include "storage/PageCache.h"
#include "storage/Schema.h"
#include "storage/WorkFiles.h"
#include "sync/DatabaseMerge.h"
#include "sync/SyncFileIo.h"
#include "sync/SyncNames.h"
#include "sync/SyncSeen.h"

namespace ks::syncing {

namespace {

// The page cache while one file is applied: the rows, their history and the notes of versions
// seen of 10,000 changed records fit in it.
constexpr int kApplyCacheKib = 32 * 1024;

QString strayText() {
    return QStringLiteral("not a file of the sync folder");
}

// What this database knows of one file of a device: applied, or skipped with the reason.
struct FileRecord {
    QString refusal;  // empty: applied
    QString machineName;
    qint64 made = 0;
};

Result<QHash<QString, FileRecord>> fileRecords(Connection& connection, const QString& deviceId) {
    Statement rows = connection.prepare(QStringLiteral(
        "SELECT FileName, Refusal, MachineName, Made FROM SyncApplied WHERE DeviceId = ?1"));
    rows.bind(1, deviceId);
    QHash<QString, FileRecord> records;
    while (rows.next()) {
        records.insert(rows.text(0), {rows.text(1), rows.text(2), rows.integer(3)});
    }
    if (!rows.status().ok()) {
        return rows.status();
    }
    return records;
}

DbStatus recordFile(Connection& connection, const QString& deviceId, const QString& name,
                    const FileRecord& record) {
    Statement insert = connection.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO SyncApplied (DeviceId, FileName, MachineName, Made, Refusal) "
        "VALUES (?1, ?2, ?3, ?4, ?5)"));
    insert.bind(1, deviceId)
        .bind(2, name)
        .bind(3, record.machineName)
        .bind(4, record.made)
        .bind(5, record.refusal);
    return insert.run();
}

// The sequence of the newest snapshot applied (0 for none): older files are covered by it.
qint64 coveredBelow(const QList<SyncFileName>& files, const QHash<QString, FileRecord>& records) {
    qint64 cover = 0;
    for (const SyncFileName& file : files) {
        const auto it = records.constFind(file.name);
        if (file.snapshot && it != records.constEnd() && it->refusal.isEmpty()) {
            cover = std::max(cover, file.sequence);
        }
    }
    return cover;
}

bool isApplied(const SyncFileName& file, const QHash<QString, FileRecord>& records, qint64 cover) {
    const auto it = records.constFind(file.name);
    return file.sequence < cover || (it != records.constEnd() && it->refusal.isEmpty());
}

// Whether `path` is a folder itself, not a link to one.
bool isRealFolder(const QString& path) {
    struct stat info {};
    return ::lstat(copying::native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// One file: checked on a private copy, then merged in one transaction together with the note
// that it was applied and the versions it brought.
class FileApplier {
public:
    FileApplier(DatabaseAccess& database, const SyncRequest& request, const QString& deviceId)
        : database_(database),
          request_(request),
          deviceId_(deviceId),
          staging_(syncStagingPath(request.dataFolder)) {}

    // The reason the file was skipped, or an empty text once it is applied.
    QString apply(const SyncFileName& name, MergeReport& report, DbStatus& failure) {
        recorded_ = false;
        copying::removeWithCompanions(staging_);
        const QString source =
            QDir(QDir(request_.syncFolder).filePath(deviceId_)).filePath(name.name);
        QString refusal;
        if (DbStatus staged = stageSyncFile(source, staging_); !staged.ok()) {
            refusal = staged.detail;
        } else {
            refusal = applyStaged(name, report, failure);
        }
        copying::removeWithCompanions(staging_);
        return refusal;
    }

    // Whether the last file's outcome is noted in the database already.
    bool recorded() const { return recorded_; }

private:
    QString applyStaged(const SyncFileName& name, MergeReport& report, DbStatus& failure) {
        Result<Connection> file = openCheckedSyncFile(staging_, deviceId_, name);
        if (!file.ok()) {
            return file.status().detail;
        }
        FileRecord record;
        {
            Statement writer =
                file->prepare(QStringLiteral("SELECT MachineName, Made FROM SyncFile"));
            if (writer.next()) {
                record = {QString(), writer.text(0), writer.integer(1)};
            }
        }
        WriteOperation write(database_);
        std::optional<LargerPageCache> cache;
        if (write.ok()) {
            cache.emplace(write.connection(), kApplyCacheKib);
        }
        Result<QSet<QByteArray>> unsent = write.ok() ? unsentRows(write.connection(), file.value())
                                                     : Result<QSet<QByteArray>>(write.status());
        Result<MergeReport> merged = unsent.ok()
                                         ? mergeConnections(write.connection(), file.value(),
                                                            request_.keys, true, rowWriteTime())
                                         : Result<MergeReport>(unsent.status());
        DbStatus status = merged.status();
        if (merged.ok()) {
            status = noteArrived(write.connection(), file.value(), unsent.value());
            // An account the merge had to leave alone keeps the file unapplied: the rest of it
            // is in, and the file is tried again on later passes (taking it again changes
            // nothing).
            record.refusal = refusalLines(merged.value()).join(u' ');
        }
        if (status.ok()) {
            status = recordFile(write.connection(), deviceId_, name.name, record);
        }
        if (status.ok()) {
            status = write.commit();
        }
        recorded_ = status.ok();
        if (!status.ok()) {
            // This database's failure, not the file's: the pass ends and says so.
            failure = status;
            return status.detail;
        }
        addReport(report, merged.value());
        return record.refusal;
    }

    DatabaseAccess& database_;
    const SyncRequest& request_;
    QString deviceId_;
    QString staging_;
    bool recorded_ = false;
};

// Forgets the notes of a device's files that its newest applied snapshot covers: they count as
// applied whatever the notes say, and the device has removed most of them from the folder.
void forgetCovered(DatabaseAccess& database, const QString& deviceId,
                   QHash<QString, FileRecord>& records, qint64 cover) {
    const QString below = sequenceText(cover);
    bool any = false;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        any = any || it.key() < below;
    }
    if (!any) {
        return;
    }
    WriteOperation write(database);
    if (!write.ok()) {
        return;
    }
    Statement forget = write.connection().prepare(QStringLiteral(
        "DELETE FROM SyncApplied WHERE DeviceId = ?1 AND substr(FileName, 1, ?2) < ?3"));
    forget.bind(1, deviceId).bind(2, qint64(below.size())).bind(3, below);
    if (forget.run().ok() && write.commit().ok()) {
        records.removeIf([&](const auto& record) { return record.key() < below; });
    }
}

void noteSkipped(DatabaseAccess& database, const QString& deviceId, const QString& name,
                 const QString& reason, const FileRecord* known) {
    if (known && known->refusal == reason) {
        return;  // noted already
    }
    WriteOperation write(database);
    if (write.ok() && recordFile(write.connection(), deviceId, name, {reason, {}, 0}).ok()) {
        write.commit();
    }
}

// Applies one device's files: the newest snapshot not applied first, then every file after
// the newest applied snapshot that is not applied yet, in sequence order.
DbStatus applyDevice(DatabaseAccess& database, const SyncRequest& request, const QString& deviceId,
                     SyncOutcome& outcome) {
    const QString folder = QDir(request.syncFolder).filePath(deviceId);
    QStringList others;
    const QList<SyncFileName> files = deviceFiles(folder, &others);
    for (const QString& other : others) {
        outcome.skipped << QStringLiteral("%1/%2: %3").arg(deviceId, other, strayText());
    }
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Result<QHash<QString, FileRecord>> records = fileRecords(connection.value(), deviceId);
    if (!records.ok()) {
        return records.status();
    }
    QList<SyncFileName> order;
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        if (it->snapshot &&
            !isApplied(*it, records.value(), coveredBelow(files, records.value()))) {
            order.append(*it);  // the newest first; applying one covers the rest
        }
    }
    order.append(files);
    FileApplier applier(database, request, deviceId);
    QSet<QString> tried;  // a file is tried once a pass
    for (const SyncFileName& file : order) {
        if (isApplied(file, records.value(), coveredBelow(files, records.value())) ||
            tried.contains(file.name)) {
            continue;
        }
        tried.insert(file.name);
        DbStatus failure;
        const QString refusal = applier.apply(file, outcome.applied, failure);
        if (!failure.ok()) {
            return failure;
        }
        const auto known = records->constFind(file.name);
        if (refusal.isEmpty()) {
            records->insert(file.name, {});
            ++outcome.filesApplied;
        } else {
            if (!applier.recorded()) {
                noteSkipped(database, deviceId, file.name, refusal,
                            known == records->constEnd() ? nullptr : &*known);
            }
            records->insert(file.name, {refusal, {}, 0});
            outcome.skipped << QStringLiteral("%1/%2: %3").arg(deviceId, file.name, refusal);
        }
    }
    if (const qint64 cover = coveredBelow(files, records.value()); cover > 0) {
        forgetCovered(database, deviceId, records.value(), cover);
    }
    return {};
}

}  // namespace

void addReport(MergeReport& into, const MergeReport& more) {
    into.writes += more.writes;
    for (const AccountMergeReport& account : more.accounts) {
        auto it =
            std::find_if(into.accounts.begin(), into.accounts.end(),
                         [&](const AccountMergeReport& a) { return a.owner == account.owner; });
        if (it == into.accounts.end()) {
            into.accounts.append(account);
            continue;
        }
        it->added = it->added || account.added;
        it->passwordChanged = it->passwordChanged || account.passwordChanged;
        it->protectionTaken = it->protectionTaken || account.protectionTaken;
        if (!account.refusal.isEmpty()) {
            it->refusal = account.refusal;
        }
        for (int k = 0; k < merging::kMergeKinds; ++k) {
            it->kinds[k].added += account.kinds[k].added;
            it->kinds[k].changed += account.kinds[k].changed;
            it->kinds[k].deleted += account.kinds[k].deleted;
            it->kinds[k].renamed += account.kinds[k].renamed;
        }
        it->renames += account.renames;
        it->namesUnchecked += account.namesUnchecked;
        it->leftUnsealed += account.leftUnsealed;
        it->versionsKept += account.versionsKept;
    }
}

void applyOtherDevices(DatabaseAccess& database, const SyncRequest& request,
                       const DeviceState& device, SyncOutcome& outcome) {
    const QStringList entries =
        QDir(request.syncFolder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    for (const QString& entry : entries) {
        if (entry.startsWith(QLatin1Char('.')) || entry == device.id) {
            continue;
        }
        if (!isDeviceId(entry) || !isRealFolder(QDir(request.syncFolder).filePath(entry))) {
            outcome.skipped << QStringLiteral("%1: not a folder of a device").arg(entry);
            continue;
        }
        if (DbStatus status = applyDevice(database, request, entry, outcome); !status.ok()) {
            outcome.status = status;
            return;
        }
    }
}

Result<QList<SyncMachine>> readMachines(DatabaseAccess& database, const QString& syncFolder,
                                        const QString& ownId) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    QList<SyncMachine> machines;
    const QStringList entries =
        QDir(syncFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& id : entries) {
        if (id == ownId || !isDeviceId(id) || !isRealFolder(QDir(syncFolder).filePath(id))) {
            continue;
        }
        QStringList others;
        const QList<SyncFileName> files = deviceFiles(QDir(syncFolder).filePath(id), &others);
        Result<QHash<QString, FileRecord>> records = fileRecords(connection.value(), id);
        if (!records.ok()) {
            return records.status();
        }
        const qint64 cover = coveredBelow(files, records.value());
        SyncMachine machine{id, {}, {}, true, {}};
        qint64 newest = 0;
        for (const SyncFileName& file : files) {
            const auto it = records->constFind(file.name);
            machine.allApplied = machine.allApplied && isApplied(file, records.value(), cover);
            if (it == records->constEnd()) {
                continue;
            }
            if (!it->refusal.isEmpty()) {
                machine.notes << QStringLiteral("%1: %2").arg(file.name, it->refusal);
            } else if (file.sequence >= newest) {
                newest = file.sequence;
                machine.name = it->machineName;
                machine.lastChange = QDateTime::fromMSecsSinceEpoch(it->made, Qt::UTC);
            }
        }
        for (const QString& other : others) {
            machine.notes << QStringLiteral("%1: %2").arg(other, strayText());
        }
        machines.append(machine);
    }
    return machines;
}

}  // namespace ks::syncing
