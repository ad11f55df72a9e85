#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

#include "storage/Database.h"

namespace ks {

// Copies of the database kept in the data folder's "Backups/" folder (0700), one file each
// (0600), named for the time they were made and why, so that their names sort by time:
// "Data-20261207-153012-before-import.mdb". A copy is never removed by the program.
struct BackupFile {
    QString path;
    QDateTime made;  // local time, to the second
    QString reason;  // as in the name: "before-import"
};

// The folder of the copies: dataFolder (ending in "/") + "Backups/".
QString backupsFolderIn(const QString& dataFolder);

// Makes a copy of the database at `databasePath` in `folder` through the engine's backup
// interface, keyed with `passPhrase`, and checks it before it takes its name: it opens with the
// pass phrase, passes the engine's integrity check, holds every table of the schema and as many
// rows in each as the database. The copy is written under its name + ".part" and renamed when
// whole, so a file under a backup's name is always a whole, checked copy. `reason` is a few
// lower-case words joined by "-". The copy's path, or why none could be made (a full disk, say);
// then nothing is left behind. `copiedState`, when given, receives databaseFileState() of the
// database as it was copied.
Result<QString> makeVerifiedBackup(const QString& databasePath, const QString& passPhrase,
                                   const QString& folder, const QString& reason,
                                   const QDateTime& made, QByteArray* copiedState = nullptr);

// The same copy made beside the user's work: the pages are copied a few at a time, each step
// under a read lock of its own, so that the program's writes go on between steps (a write
// makes the engine start the copy again). The copy is then checked as above; its row counts
// are compared with the database's under one read lock, and a copy that a write has since
// made different is made again (up to three times). Writes that keep coming faster than a copy
// can finish make it give up (Busy) rather than keep them waiting. `stopped`, asked between
// steps, ends the copy early (Cancelled) with nothing left behind.
Result<QString> makeVerifiedBackupBesideWork(const QString& databasePath, const QString& passPhrase,
                                             const QString& folder, const QString& reason,
                                             const QDateTime& made,
                                             const std::function<bool()>& stopped = {});

// The state of a database file as a commit changes it: its size and its first page (which
// every commit rewrites, and the cipher with a fresh initialisation vector). Read while no
// writer can commit, it tells whether the file is still the one an earlier read saw.
QByteArray databaseFileState(const QString& databasePath);

// The copies in the data folder, oldest first: those in its Backups folder, and a
// "Data.mdb.bak" that an older build kept beside the database (reason "before-import").
QList<BackupFile> listBackups(const QString& dataFolder);

// Removes what an interrupted backup left in `folder` (its unfinished ".part" files).
void removeUnfinishedBackups(const QString& folder);

}  // namespace ks
