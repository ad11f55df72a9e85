#include "app/DatabasePreparation.h"

#include "storage/DataFolder.h"
#include "storage/DataFolderTrust.h"
#include "storage/FileServices.h"
#include "storage/SettingsFile.h"

namespace ks {

QString templatePath(const QString& appFolder) {
    return withTrailingSlash(appFolder) + QStringLiteral("Template.dat");
}

QString databasePathIn(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Data.mdb");
}

FsResult checkDataFolder(const QString& dataFolder, bool narrow) {
    return checkDataFolderTrust(dataFolder, {databasePathIn(dataFolder), settingsPath(dataFolder)},
                                narrow);
}

QString untrustedDataFolderMessage(const QString& appTitle, const QString& dataFolder,
                                   const QString& reason) {
    return QStringLiteral("%1 cannot use the data folder %2.\r\r%3")
        .arg(appTitle, dataFolder, reason);
}

DatabasePreparation prepareDatabase(const QString& dataFolder, const QString& appFolder) {
    using Outcome = DatabasePreparation::Outcome;
    if (!ensurePrivateFolder(dataFolder)) {
        return {Outcome::Failed,
                {},
                QStringLiteral("The folder %1 could not be made.").arg(dataFolder)};
    }
    if (FsResult trusted = checkDataFolder(dataFolder, true); !trusted) {
        return {Outcome::Untrusted, {}, trusted.error};
    }
    const QString database = databasePathIn(dataFolder);
    if (FileServices::FileExists(database)) {
        return {Outcome::Ready, database, {}};
    }
    const QString source = templatePath(appFolder);
    if (!FileServices::FileExists(source)) {
        return {Outcome::TemplateMissing, {}, {}};
    }
    if (FsResult copied = FileServices::CopyFile(source, database, kPrivateFile); !copied) {
        return {Outcome::Failed, {}, copied.error};
    }
    return {Outcome::Ready, database, {}};
}

}  // namespace ks
