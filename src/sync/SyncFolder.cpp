#include "sync/SyncFolder.h"

namespace ks {

namespace {

SyncOutcome notYet() {
    SyncOutcome outcome;
    outcome.status = {DbCode::Failed, QStringLiteral("Sync is not built yet.")};
    return outcome;
}

}  // namespace

SyncOutcome applySyncFolder(DatabaseAccess&, const SyncRequest&) {
    return notYet();
}

SyncOutcome writeSyncChanges(DatabaseAccess&, const SyncRequest&) {
    return notYet();
}

SyncOutcome syncOnce(DatabaseAccess&, const SyncRequest&) {
    return notYet();
}

QList<SyncMachine> syncMachines(DatabaseAccess&, const SyncRequest&) {
    return {};
}

Result<QString> syncDeviceId(DatabaseAccess&, const QString&) {
    return DbStatus{DbCode::Failed, QStringLiteral("Sync is not built yet.")};
}

}  // namespace ks
