#pragma once

#include <QString>

namespace ks {

struct DatabasePreparation {
    enum class Outcome {
        Ready,            // databasePath names an existing database file
        TemplateMissing,  // neither the database nor the template is there
        Failed,           // the folder or the copy could not be made: see `error`
    };
    Outcome outcome = Outcome::Failed;
    QString databasePath;
    QString error;
};

// Makes sure the data folder and Data.mdb exist, copying Data.mdb from the template beside
// the program when it is missing. Nothing is ever copied over an existing database.
DatabasePreparation prepareDatabase(const QString& dataFolder, const QString& appFolder);

QString templatePath(const QString& appFolder);
// The database file of a data folder (which ends in "/").
QString databasePathIn(const QString& dataFolder);

}  // namespace ks
