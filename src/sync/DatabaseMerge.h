#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

#include "core/Account.h"
#include "storage/Database.h"
#include "sync/MergeReport.h"

namespace ks {

// Merging another database of ours into this one: another machine's Data.mdb, an export
// (data.ksd) or any database of this schema that holds some rows (a change file). Rows are
// matched by their identity (Uuid) table by table, and accounts by their login name:
//  * a row only the other has comes in; a row both have takes the later write (a tie is
//    decided by the stored bytes, the same way everywhere), and the version that loses goes to
//    history where the table keeps one (records, journal entries), with the other's history;
//    a version is kept once, however often it comes in;
//  * a tombstone removes a row only when the row was not written after it; tombstones merge;
//  * a record that comes in with a short name another record here holds keeps its identity
//    and comes in renamed ("name (2)"); of two journal entries of one day the later stays
//    and the other goes to history; two categories of one name become one;
//  * an account protected separately in each database, or whose keys cannot be shown to be the
//    same, is not merged (the report says why): its sealed values would no longer open;
//  * an account protected in one database only is protected after the merge (its rows here
//    still in the shared format are sealed when its key is at hand), and takes no row of the
//    other database that is not sealed (the machine that made it seals it and sends it again).
// Merging twice changes nothing the second time, and A into B then B into A leaves both with
// the same content.

struct MergeRequest {
    QString source;      // the file to merge from; only read
    QString dataFolder;  // this database's data folder, where the file's checked copy is made
    // Accounts whose data key the caller holds (the logged-in one): their records' short names
    // are checked for repeats; a protected account's names cannot be read without it.
    QList<Account> keys;
    // Where a checked copy of the database is kept before the merge writes (empty: none).
    QString backupsFolder;
    QDateTime made;
    // For tests: asked after each written step with its number; true fails the merge there.
    std::function<bool(int)> failAfter;
};

struct MergeOutcome {
    DbStatus status;  // why the file was refused or the merge failed (then nothing changed)
    bool fileRefused = false;  // the file is not a whole database of ours (status says why)
    MergeReport report;
    QString backupPath;  // the copy kept before the merge wrote, if one was made

    bool ok() const { return status.ok(); }
};

// Checks the file (a private copy of it: key, integrity, whole pages, this build's schema or
// an older build's brought up to date) and works out what a merge would change, writing
// nothing to the database.
MergeOutcome planDatabaseMerge(DatabaseAccess& database, const MergeRequest& request);

// The same, then writes the merge in one transaction, after keeping a copy of the database
// when it changes anything. On any failure the database is as it was.
MergeOutcome mergeDatabase(DatabaseAccess& database, const MergeRequest& request);

// The engine itself, for a caller that has opened and checked the other database already (a
// change file): merges `source` into `target` on the target's connection, inside the caller's
// transaction when `write`; without `write` it only reports. `now` is the time of the merge's
// own writes.
Result<MergeReport> mergeConnections(Connection& target, Connection& source,
                                     const QList<Account>& keys, bool write, qint64 now,
                                     const std::function<bool(int)>& failAfter = {});

}  // namespace ks
