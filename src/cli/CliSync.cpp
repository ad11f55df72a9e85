#include "cli/CliSync.h"

#include <QDir>
#include <QFileInfo>

#include "cli/CliOptions.h"
#include "cli/CliRecords.h"
#include "cli/ConsoleIo.h"
#include "cli/OutputText.h"
#include "sync/SyncFolder.h"

namespace ks::cli {

namespace {

void printOutcome(const SyncOutcome& outcome) {
    if (outcome.filesApplied > 0) {
        out() << QStringLiteral("Applied %1 file(s) of other machines:").arg(outcome.filesApplied)
              << '\n';
        for (const QString& line : mergeReportLines(outcome.applied)) {
            out() << printable(line) << '\n';
        }
    } else {
        out() << "Nothing new from other machines.\n";
    }
    if (outcome.filesWritten > 0) {
        out() << QStringLiteral("Wrote %1 of this machine's changes (%2 bytes).")
                     .arg(outcome.snapshotWritten ? QStringLiteral("a snapshot")
                                                  : QStringLiteral("a change file"))
                     .arg(outcome.bytesWritten)
              << '\n';
    } else {
        out() << "Nothing new to write.\n";
    }
    for (const QString& skipped : outcome.skipped) {
        out() << "Skipped " << printable(skipped) << '\n';
    }
    out().flush();
}

}  // namespace

int syncFolder(DatabaseAccess& database, const Account& account, const QString& folder,
               const QString& dataFolder) {
    const SyncSettings settings = syncSettingsFrom(readSettings(dataFolder));
    SyncRequest request;
    request.dataFolder = dataFolder;
    request.syncFolder = folder;
    request.machineName = settings.machineName;
    if (account.isProtected()) {
        request.keys.append(account);
    }
    if (folder.isEmpty()) {
        if (settings.folder.isEmpty()) {
            tell(
                QStringLiteral("No sync folder is chosen for this data folder: give one "
                               "(keystead-cli sync SYNC-FOLDER) or choose it in Options."));
            return kError;
        }
        request.syncFolder = settings.folder;
        out() << "Using the sync folder chosen in Options: " << printable(settings.folder) << '\n';
    } else {
        request.syncFolder = QFileInfo(folder).absoluteFilePath();
    }
    const SyncOutcome outcome = syncOnce(database, request);
    if (!outcome.ok()) {
        printOutcome(outcome);
        return databaseFailed(outcome.status);
    }
    printOutcome(outcome);
    return kDone;  // a skipped file is tried again at the next pass: no failure
}

}  // namespace ks::cli
