#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "core/Account.h"
#include "core/AccountConversion.h"
#include "storage/Database.h"

class QIODevice;

namespace ks {

// The stored files of the `Files` table. Each row holds one file packed into a cabinet archive,
// with the file's name, size and date. Every access names the owner, so no action lists, reads
// or removes another user's file. A protected account seals each name and each archive, bound
// to its row; sizes and dates stay readable.

// The largest archive that is stored: 120 Mb.
inline constexpr qint64 kLargestStoredArchive = 120 * 1048576;

// One line of the file list; the list reads no archive.
struct StoredFileLine {
    qint64 counter = 0;
    QString fileName;  // damagedValueText() when the stored name does not open
    qint64 size = 0;
    qint64 compressedSize = 0;
    QDateTime lastModified;
    bool nameDamaged = false;
};

// What is recorded of a file besides its archive.
struct NewStoredFile {
    QString fileName;  // without its folder
    qint64 size = 0;
    QDateTime lastModified;
};

// The list key of a row: "K" and its Counter ("K17").
QString fileKey(qint64 counter);
// The Counter of a list key: every character but the first, as a number.
std::optional<qint64> counterFromKey(const QString& key);

// The owner's rows in stored order.
Result<QList<StoredFileLine>> listStoredFiles(DatabaseAccess& database, const Account& account);

// Adds one row whose `File` is the archive at `archivePath`, streamed into the database in
// chunks within the one transaction that adds the row (sealed on the way for a protected
// account). Answers the new Counter.
Result<qint64> addStoredFile(DatabaseAccess& database, const Account& account,
                             const NewStoredFile& file, const QString& archivePath);

// Deletes the owner's rows among `counters`, all in one transaction. Answers how many went.
Result<int> deleteStoredFiles(DatabaseAccess& database, const Account& account,
                              const QList<qint64>& counters);

// Writes the stored archive of the owner's row `counter` to `destination`, a chunk at a time.
// False when the owner has no such row. A protected account's archive that does not open fails
// with DbCode::Failed and notDecryptedReason() as its detail; what was written of it must then
// be thrown away.
Result<bool> readStoredArchive(DatabaseAccess& database, const Account& account, qint64 counter,
                               QIODevice& destination);

// Turns every stored file of `conversion.from` (name and archive) into the sealed form of
// `conversion.to`, on the caller's connection and inside its transaction, a chunk at a time;
// each row keeps its identity.
DbStatus sealFiles(Connection& connection, const AccountConversion& conversion);

}  // namespace ks
