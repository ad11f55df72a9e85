#include "files/Launch.h"

#include <QDir>
#include <QFile>

#include "files/CheckOut.h"
#include "files/CheckOutTexts.h"
#include "files/FileStore.h"
#include "files/WorkStatus.h"

namespace ks {

namespace {

// Removes the folder with all it holds and makes it again, empty and private.
bool makeAfresh(const QString& folder) {
    QDir old(folder);
    if (old.exists() && !old.removeRecursively()) {
        return false;  // a file still held open stays; the folder is not trusted to be empty
    }
    return QDir().mkpath(folder) &&
           QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::optional<StoredFileLine> ownedLine(DatabaseAccess& database, const Account& account,
                                        qint64 counter) {
    Result<QList<StoredFileLine>> lines = listStoredFiles(database, account);
    if (!lines.ok()) {
        return std::nullopt;
    }
    for (const StoredFileLine& line : lines.value()) {
        if (line.counter == counter) {
            return line;
        }
    }
    return std::nullopt;
}

}  // namespace

QString launchFolder(const QString& tempFolder, const QString& appTitle) {
    return tempFolder + appTitle + QLatin1Char('/');
}

LaunchResult LaunchStoredFile(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                              const LaunchRequest& request, const UrlOpener& open) {
    LaunchResult result;
    if (request.tempFolder.isEmpty()) {
        return result;
    }
    const std::optional<StoredFileLine> line =
        ownedLine(database, request.account, request.counter);
    if (!line) {
        return result;
    }
    result.fileName = line->fileName;
    const QString folder = launchFolder(request.tempFolder, request.appTitle);
    if (!makeAfresh(folder)) {
        result.error = launchFolderNotEmptiedReason();
        return result;
    }
    status.begin(exportingStatus(line->fileName));
    const StoredFileCheckOut checkedOut = checkOutStoredFile(
        database, archiver, status, request.account, *line, folder, request.tempFolder);
    status.end();
    if (checkedOut.path.isEmpty()) {
        result.error = checkedOut.error;
        return result;
    }
    result.path = checkedOut.path;
    result.outcome = open && open(QUrl::fromLocalFile(result.path)) ? LaunchOutcome::Opened
                                                                    : LaunchOutcome::NotOpened;
    return result;
}

}  // namespace ks
