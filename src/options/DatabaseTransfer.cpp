#include "options/DatabaseTransfer.h"

#include <QFileInfo>

#include "crypto/PassPhrase.h"
#include "options/OptionsMessages.h"
#include "storage/FileServices.h"

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
    return writeVerifiedCopy(databasePath, PassPhrase(), target, hooks);
}

QString importStagingPath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Import.part");
}

QString importBackupPath(const QString& databasePath) {
    return databasePath + QStringLiteral(".bak");
}

DbStatus stageImport(const QString& folder, const QString& dataFolder) {
    return stageDatabaseForImport(transferFolderText(folder) + exportFileName(),
                                  importStagingPath(dataFolder), PassPhrase());
}

void discardStagedImport(const QString& dataFolder) {
    FileServices::DeleteFile(importStagingPath(dataFolder));
}

DbStatus completeImport(const QString& dataFolder, const QString& databasePath,
                        const CopyHooks& hooks) {
    const QString staging = importStagingPath(dataFolder);
    DbStatus status = restoreDatabaseFrom(staging, databasePath, importBackupPath(databasePath),
                                          PassPhrase(), hooks);
    FileServices::DeleteFile(staging);
    return status;
}

}  // namespace ks
