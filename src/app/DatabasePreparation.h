#pragma once

#include <QString>

#include "storage/FileServices.h"

namespace ks {

struct DatabasePreparation {
    enum class Outcome {
        Ready,            // databasePath names an existing database file
        TemplateMissing,  // neither the database nor the template is there
        Failed,           // the folder or the copy could not be made: see `error`
        Untrusted,        // the folder or a file in it is not the user's own: see `error`
    };
    Outcome outcome = Outcome::Failed;
    QString databasePath;
    QString error;
};

// Makes sure the data folder and Data.mdb exist, copying Data.mdb from the template beside
// the program when it is missing. Nothing is ever copied over an existing database, and nothing
// is used in a folder that checkDataFolder() refuses.
DatabasePreparation prepareDatabase(const QString& dataFolder, const QString& appFolder);

// Whether the data folder, Data.mdb and Data.dat are the user's own and closed to others for
// writing (and no folder above lets everyone replace it); otherwise why, and what to do. With
// `narrow`, what others may only read of them is made private.
FsResult checkDataFolder(const QString& dataFolder, bool narrow);
// The refusal of a data folder that checkDataFolder() did not accept.
QString untrustedDataFolderMessage(const QString& appTitle, const QString& dataFolder,
                                   const QString& reason);

QString templatePath(const QString& appFolder);
// Where the database of a data folder is.
QString databasePathIn(const QString& dataFolder);

}  // namespace ks
