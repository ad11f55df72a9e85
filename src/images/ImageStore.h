#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "storage/Database.h"

namespace ks {

// The pictures of the `Images` table. Every row is reached through its Counter and its owner
// together, so no action ever shows or removes another user's picture. Pictures are stored as
// they are, byte for byte.

// One line of the picture list.
struct ImageLine {
    qint64 counter = 0;
    QString name;
};

// The owner's pictures in the table's stored order. Reads only the counters and names.
Result<QList<ImageLine>> ListImages(DatabaseAccess& database, const QString& owner);

// The stored bytes of the owner's picture `counter`; nullopt when the owner has no such row.
Result<std::optional<QByteArray>> readImageBytes(DatabaseAccess& database, const QString& owner,
                                                 qint64 counter);

// What went wrong with a check-in.
struct CheckInFailure {
    QString path;       // the file that could not be read; empty for a database failure
    QString fileError;  // the system's words for the file's failure
    DbStatus status;    // the database's failure
};

// Checks files in for the owner, one row per file in the given order, each named by its file
// name without the folder. All rows are written in one transaction: when one file cannot be
// read or stored, nothing is added. The counters of the new rows, or why nothing was added.
struct CheckInResult {
    QList<qint64> counters;
    std::optional<CheckInFailure> failure;
};
CheckInResult AddImages(DatabaseAccess& database, const QString& owner, const QStringList& paths);

// Removes the owner's pictures among `counters`, in one transaction. The number removed.
Result<int> DeleteImages(DatabaseAccess& database, const QString& owner,
                         const QList<qint64>& counters);

}  // namespace ks
