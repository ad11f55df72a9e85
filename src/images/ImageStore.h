#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "core/Account.h"
#include "core/AccountConversion.h"
#include "storage/Database.h"

namespace ks {

// The pictures of the `Images` table. Every row is reached through its Counter and its owner
// together, so no action ever shows or removes another user's picture. Pictures are stored as
// they are, byte for byte; a protected account seals each name and each picture, bound to its
// row.

// One line of the picture list.
struct ImageLine {
    qint64 counter = 0;
    QString name;  // damagedValueText() when the stored name does not open
    bool nameDamaged = false;
};

// The owner's pictures in the table's stored order. Reads only the counters and names.
Result<QList<ImageLine>> ListImages(DatabaseAccess& database, const Account& account);

// A stored picture as read back.
struct StoredPicture {
    std::optional<QByteArray> bytes;  // nullopt when the owner has no such row, or it is damaged
    bool damaged = false;             // a protected account's picture that does not open
};

// The picture `counter` of the account, read a chunk at a time.
Result<StoredPicture> readPicture(DatabaseAccess& database, const Account& account, qint64 counter);
// Its bytes; nullopt when the owner has no such row or the picture does not open.
Result<std::optional<QByteArray>> readImageBytes(DatabaseAccess& database, const Account& account,
                                                 qint64 counter);

// What went wrong with a check-in.
struct ImageCheckInFailure {
    QString path;       // the file that could not be read; empty for a database failure
    QString fileError;  // the system's words for the file's failure
    DbStatus status;    // the database's failure
};

// Checks files in for the owner, one row per file in the given order, each named by its file
// name without the folder. All rows are written in one transaction: when one file cannot be
// read or stored, nothing is added. The counters of the new rows, or why nothing was added.
struct ImageCheckInResult {
    QList<qint64> counters;
    std::optional<ImageCheckInFailure> failure;
};
ImageCheckInResult AddImages(DatabaseAccess& database, const Account& account,
                             const QStringList& paths);

// Removes the owner's pictures among `counters`, in one transaction. The number removed.
Result<int> DeleteImages(DatabaseAccess& database, const Account& account,
                         const QList<qint64>& counters);

// Turns every picture of `conversion.from` (name and data) into the sealed form of
// `conversion.to`, on the caller's connection and inside its transaction, a chunk at a time;
// each row keeps its identity.
DbStatus sealImages(Connection& connection, const AccountConversion& conversion);

}  // namespace ks
