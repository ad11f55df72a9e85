#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/Account.h"
#include "files/CheckOutTexts.h"
#include "storage/CheckOutPaths.h"
#include "storage/Database.h"

namespace ks {

class Archiver;
class WorkStatus;
struct StoredFileLine;

// What to check out and where to.
struct CheckOutRequest {
    CheckOutKind kind = CheckOutKind::Files;
    bool all = false;
    QList<qint64> selection;  // the Counters chosen, when not all
    QString destination;      // the chosen folder ("/" is added when missing)
    Account account;          // only this user's rows are ever written
    QString tempFolder;       // the program's private temporary folder, ending in "/"
};

// What a check-out came to.
struct CheckOutReport {
    bool destinationNotWritable = false;  // nothing was tried
    std::optional<DbStatus> failure;      // the stored items could not be read
    QList<NotCheckedOut> failed;          // the items not written and why, in stored order
    QStringList written;                  // the paths this check-out produced
};

// Writes the owner's items of the request's kind into the destination: every one with `all`,
// else those of the selection. Pictures are written byte for byte as new files ("Copy of " in
// front of a taken name). Files are unpacked in a private staging folder and the one file found
// there, whatever its name inside the archive, replaces its namesake in the destination under
// its stored name, with its stored date, only once it is complete; nothing else ever appears
// there. A file's steps are shown through `status`.
CheckOutReport CheckOutItems(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                             const CheckOutRequest& request);

// Where one stored file was written, or why it was not.
struct StoredFileCheckOut {
    QString path;
    QString error;
};

// Checks out the one stored file `line` into `folder` (ending in "/"). `stagingBase` is where
// the private staging folder is made.
StoredFileCheckOut checkOutStoredFile(DatabaseAccess& database, Archiver& archiver,
                                      WorkStatus& status, const Account& account,
                                      const StoredFileLine& line, const QString& folder,
                                      const QString& stagingBase);

}  // namespace ks
