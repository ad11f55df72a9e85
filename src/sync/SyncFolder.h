#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/Account.h"
#include "storage/Database.h"
#include "sync/MergeReport.h"

namespace ks {

// The sync folder: a folder that a file-sync engine keeps in step between machines. Each
// installation (a data folder on a machine) has a device id and writes only into
// <sync>/<deviceId>/: immutable change files (<seq>.<hash>.ksc, its own writes since its last
// file) and now and then a snapshot (<seq>.<hash>.kss, every row) that replaces its older files.
// Every other device's files are applied here through the merge engine, one transaction each;
// a file that fails its checks (half copied, damaged, foreign, hostile) changes nothing, is
// noted and tried again at the next pass.

// Another machine seen in the sync folder.
struct SyncMachine {
    QString id;               // its device id
    QString name;             // the name its newest applied file gives
    QDateTime lastChange;     // when its newest applied file was made (UTC)
    bool allApplied = false;  // every file of it there is applied here
    QStringList notes;        // skipped files: "<file>: <reason>"
};

struct SyncRequest {
    QString dataFolder;   // this database's data folder (ends in '/')
    QString syncFolder;   // the sync folder; empty: none
    QString machineName;  // this machine's name there; empty: the host name
    // Accounts whose data key the caller holds, as MergeRequest::keys.
    // Applying keeps every version a file brings, as a merge does; the stores trim history to
    // its settings at their next save.
    QList<Account> keys;
    // Seals what of a protected account in `keys` is still in the shared format, after the
    // files are applied; how many rows (the protection's finishing, which this layer does not
    // hold). None: nothing is sealed.
    std::function<Result<int>(DatabaseAccess&, const Account&)> sealUnsealed;
};

struct SyncOutcome {
    // A failure of this database or of the sync folder itself (missing, not a folder, not
    // writable); a skipped file of another machine is no failure (see machines' notes).
    DbStatus status;
    MergeReport applied;  // what other machines' files changed here
    int filesApplied = 0;
    int filesWritten = 0;
    qint64 bytesWritten = 0;
    bool snapshotWritten = false;
    int rowsSealed = 0;  // rows of a protected account sealed after the files were applied
    QList<SyncMachine> machines;
    QStringList skipped;  // every skipped file of this pass: "<device>/<file>: <reason>"

    bool ok() const { return status.ok(); }
};

// Applies every other device's file this database has not applied yet.
SyncOutcome applySyncFolder(DatabaseAccess& database, const SyncRequest& request);
// Writes this machine's own changes since its last file (or a snapshot, see SyncWriter).
SyncOutcome writeSyncChanges(DatabaseAccess& database, const SyncRequest& request);
// Applies, then writes.
SyncOutcome syncOnce(DatabaseAccess& database, const SyncRequest& request);
// The other machines seen in the sync folder and what of theirs is applied here; nothing is
// written (but this installation's device id, when it must take a new one).
QList<SyncMachine> syncMachines(DatabaseAccess& database, const SyncRequest& request);

// This installation's device id (taking one when it has none or its data folder was copied,
// restored or imported); empty with the reason on a failure.
Result<QString> syncDeviceId(DatabaseAccess& database, const QString& dataFolder);

}  // namespace ks
