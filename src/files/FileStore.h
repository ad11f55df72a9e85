#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

#include "storage/Database.h"

class QIODevice;

namespace ks {

// The stored files of the `Files` table. Each row holds one file packed into a cabinet archive,
// with the file's name, size and date. Every access names the owner, so no action lists, reads
// or removes another user's file.

// The largest archive that is stored: 120 Mb.
inline constexpr qint64 kLargestStoredArchive = 120 * 1048576;

// One line of the file list; the list reads no archive.
struct StoredFileLine {
    qint64 counter = 0;
    QString fileName;
    qint64 size = 0;
    qint64 compressedSize = 0;
    QDateTime lastModified;
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
Result<QList<StoredFileLine>> listStoredFiles(DatabaseAccess& database, const QString& owner);

// Adds one row whose `File` is the archive at `archivePath`, streamed into the database in
// chunks within the one transaction that adds the row. Answers the new Counter.
Result<qint64> addStoredFile(DatabaseAccess& database, const QString& owner,
                             const NewStoredFile& file, const QString& archivePath);

// Deletes the owner's rows among `counters`, all in one transaction. Answers how many went.
Result<int> deleteStoredFiles(DatabaseAccess& database, const QString& owner,
                              const QList<qint64>& counters);

// Writes the stored archive of the owner's row `counter` to `destination`, a chunk at a time.
// False when the owner has no such row.
Result<bool> readStoredArchive(DatabaseAccess& database, const QString& owner, qint64 counter,
                               QIODevice& destination);

}  // namespace ks
