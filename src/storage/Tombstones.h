#pragma once

#include <QByteArray>
#include <QString>

#include "storage/Database.h"

namespace ks {

// A deletion leaves a tombstone: the identity (`Uuid`) of the row it removed, the table, the
// owner value and the time (UTC milliseconds). It is written on the connection and inside the
// transaction of the deletion itself, so the two are committed together or not at all.
//
// Leaves the tombstones of the rows about to be deleted, one statement prepared for a table and
// run once per row before that row's DELETE. A row of an older build without an identity
// leaves none (it is removed all the same).
class TombstoneWriter {
public:
    // `table` is one of the content tables (Logins, LoginsCategory, Journals, Images, Files).
    TombstoneWriter(Connection& connection, const QString& table);

    // The tombstone of the row of `owner` whose key (Counter, or Id where there is none) is
    // `key`, with the time `deleted`; none when `owner` has no such row. A row deleted again
    // after a restore gets its tombstone anew.
    DbStatus leaveFor(qint64 key, const QString& owner, qint64 deleted);

private:
    Statement insert_;
};

// The row `uuid` is back (a deleted record restored): its tombstone goes.
DbStatus removeTombstone(Connection& connection, const QByteArray& uuid);

}  // namespace ks
