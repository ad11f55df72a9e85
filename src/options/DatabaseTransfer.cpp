#include "options/DatabaseTransfer.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "options/OptionsMessages.h"
#include "storage/Backups.h"
#include "storage/FileServices.h"
#include "storage/ShownName.h"
#include "storage/WorkFiles.h"

namespace ks {

QString transferFolderText(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

FreeSpaceProbe systemFreeSpace() {
    return [](const QString& folder) -> std::optional<qint64> {
        const std::optional<DriveFacts> drive = FileServices::GetDrive(folder);
        return drive ? std::optional<qint64>(drive->FreeSpace) : std::nullopt;
    };
}

bool hasSpaceFor(const FreeSpaceProbe& probe, const QString& folder, qint64 bytes) {
    const std::optional<qint64> free = probe ? probe(folder) : std::nullopt;
    return free && *free >= bytes;
}

qint64 fileSize(const QString& path) {
    const std::optional<FileFacts> facts = FileServices::GetFile(path);
    return facts ? facts->Size : 0;
}

bool exportExists(const QString& folder) {
    return QFileInfo::exists(transferFolderText(folder) + exportFileName());
}

DbStatus ExportDatabase(const QString& databasePath, const QString& folder,
                        const CopyHooks& hooks) {
    const QString target = transferFolderText(folder) + exportFileName();
    if (QFileInfo(target).isDir()) {
        return {DbCode::CannotOpen, QStringLiteral("%1 is a folder").arg(target)};
    }
    // Noted in the data folder while it is written: a start after a crash removes it.
    const QString dataFolder = QFileInfo(databasePath).absolutePath() + QLatin1Char('/');
    notePartialExport(dataFolder, partialCopyPath(target));
    const DbStatus status = writeVerifiedCopy(databasePath, PassPhrase(), target, hooks);
    forgetPartialExport(dataFolder);
    return status;
}

qint64 importSpaceNeeded(qint64 incoming, qint64 current) {
    return incoming + current + std::max(incoming, current);
}

DbStatus stageImport(const QString& folder, const QString& dataFolder) {
    return stageDatabaseForImport(transferFolderText(folder) + exportFileName(),
                                  importStagingPath(dataFolder), PassPhrase());
}

void discardStagedImport(const QString& dataFolder) {
    FileServices::DeleteFile(importStagingPath(dataFolder));
}

namespace {

constexpr int kNamesShown = 10;

// An account's name as the question shows it; a value that is no cipher text of ours is never
// handed to the cipher, which would complain in a message box of its own.
QString accountName(const QString& owner) {
    static const QRegularExpression hex(QStringLiteral("^(?:[0-9A-F]{2})+$"));
    const QString name = hex.match(owner).hasMatch() ? DecryptField(owner) : QString();
    return name.isEmpty() ? QStringLiteral("(unreadable)") : shownName(name);
}

}  // namespace

Result<ImportSummary> summarizeStagedImport(const QString& dataFolder, const QString& owner) {
    const Result<DatabaseContents> contents =
        readDatabaseContents(importStagingPath(dataFolder), PassPhrase());
    if (!contents.ok()) {
        return contents.status();
    }
    ImportSummary summary;
    const DatabaseContents& held = contents.value();
    for (const QString& account : held.accountOwners.mid(0, kNamesShown)) {
        summary.accountNames.append(accountName(account));
    }
    summary.accounts = held.accountOwners.size();
    summary.records = held.records;
    summary.entries = held.entries;
    summary.pictures = held.pictures;
    summary.files = held.files;
    summary.holdsAccount = held.accountOwners.contains(owner);
    return summary;
}

namespace {

QString counted(qint64 count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

}  // namespace

QString importDetails(const ImportSummary& summary, const QString& userName) {
    QString accounts = counted(summary.accounts, "account", "accounts");
    if (!summary.accountNames.isEmpty()) {
        const qsizetype more = summary.accounts - summary.accountNames.size();
        accounts += QStringLiteral(" (") + summary.accountNames.join(QStringLiteral(", ")) +
                    (more > 0 ? QStringLiteral(" and %1 more").arg(more) : QString()) +
                    QLatin1Char(')');
    }
    QString text = importHoldsText(
        accounts + QStringLiteral(", ") + counted(summary.records, "record", "records") +
        QStringLiteral(", ") + counted(summary.entries, "journal entry", "journal entries") +
        QStringLiteral(", ") + counted(summary.pictures, "picture", "pictures") +
        QStringLiteral(" and ") + counted(summary.files, "file", "files"));
    if (!summary.holdsAccount) {
        text += QStringLiteral("\r\r") + importLacksAccountWarning(shownName(userName));
    }
    return text + QStringLiteral("\r\r") + importKeepsCopyText();
}

Result<QString> completeImport(const QString& dataFolder, const QString& databasePath,
                               const QDateTime& made, const CopyHooks& hooks) {
    const QString staging = importStagingPath(dataFolder);
    Result<QString> kept = restoreDatabaseFrom(
        staging, databasePath, {backupsFolderIn(dataFolder), QStringLiteral("before-import"), made},
        PassPhrase(), hooks);
    FileServices::DeleteFile(staging);
    return kept;
}

}  // namespace ks
