#pragma once

#include <QString>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks {

class Archiver;
class WorkStatus;

// The cabinet format cannot hold a file of 2 Gb or more.
inline constexpr qint64 kLargestArchivableFile = qint64{2} * 1024 * 1024 * 1024 - 1;

enum class CheckInOutcome {
    Added,
    CompressionFailed,  // no archiver, it failed, the file could not be read, or its archive
                        // does not hold exactly that file
    TooLargeToArchive,  // refused before archiving (`bytes` is the file's size)
    OverLimit,          // the archive is over 120 Mb (`bytes` is its size)
    StoreFailed,        // the database refused the row (`status` says why)
};

struct CheckInResult {
    CheckInOutcome outcome = CheckInOutcome::Added;
    qint64 bytes = 0;
    DbStatus status;
    qint64 counter = 0;  // the new row
};

struct CheckInRequest {
    QString sourcePath;   // the chosen file
    QString archivePath;  // the work archive "store.cab" in the temporary folder
    Account account;      // whose file it becomes
};

// Packs the chosen file into the work archive and adds it as one `Files` row of the account. The
// file's size and date are read before it is packed, and the archive must hold exactly that one
// file under its inner name. The work archive is gone when this returns, whatever happened.
CheckInResult checkInFile(DatabaseAccess& database, Archiver& archiver, WorkStatus& status,
                          const CheckInRequest& request);

// The name a file is held under inside its archive: its own name with every "\" (which the
// archiver reads as a folder separator) made "_". The row's `FileName` stays the true name.
QString archiveInnerName(const QString& fileName);

// Removes a work archive left from an earlier run, if there is one.
void discardWorkArchive(const QString& archivePath);

}  // namespace ks
