#pragma once

#include <QString>
#include <QUrl>
#include <functional>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks {

class Archiver;
class WorkStatus;

// Opens a file in the desktop's program for its type, without waiting for it.
using UrlOpener = std::function<bool(const QUrl&)>;

// The launch folder: the program's private temporary folder + the program's title + "/".
QString launchFolder(const QString& tempFolder, const QString& appTitle);

// What a launch came to.
enum class LaunchOutcome {
    Opened,          // the file was checked out and handed to the desktop
    CheckOutFailed,  // the file is not in the launch folder; nothing was started
    NotOpened,       // the file is there but the desktop could not open it
};
struct LaunchResult {
    LaunchOutcome outcome = LaunchOutcome::CheckOutFailed;
    QString fileName;  // the stored name of the file, when the owner has the row
    QString path;      // the file in the launch folder, once checked out
    QString error;     // why the check-out failed
};

struct LaunchRequest {
    Account account;
    QString tempFolder;
    QString appTitle;
    qint64 counter = 0;
};

// Empties the launch folder (made afresh), checks the owner's stored file `counter` out into it
// and hands it to `open`. Nothing is started when the check-out failed.
LaunchResult LaunchStoredFile(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                              const LaunchRequest& request, const UrlOpener& open);

}  // namespace ks
