#pragma once

#include <QByteArray>
#include <QString>

#include "storage/Database.h"

namespace ks {

// The kept versions of records (`LoginsHistory`) and journal entries (`JournalsHistory`).
// A version is a copy of the live row's stored values as they were, cipher text and all, with
// the row's identity (`Uuid`), the time that version was written (`Modified`) and the time it
// was replaced or deleted (`Replaced`); `Deleted` marks the last version of a deleted record.
// A protected account's values stay sealed and bound to the live table, column and identity,
// so a version opens exactly as the live value did. Every routine here runs on the caller's
// connection, inside the caller's transaction: a version is kept with the write that replaces
// it, or not at all.
enum class HistoryOf { Records, Journal };

// Copies the live row `key` (a record's Counter, an entry's Id) of `owner` into its history,
// replaced at `replaced`; `deleted` marks a record's last version. A row of an older build that has
// no identity yet is skipped, never a failure. `deleted` is for records only.
DbStatus keepVersion(Connection& connection, HistoryOf table, qint64 key, const QString& owner,
                     qint64 replaced, bool deleted = false);

// What a write that replaces the values of the live row `key` (identity `uuid`) of `owner` at
// `replaced` keeps first: that version, when `kept` is above 0, and then only the newest `kept`
// versions of the row. A row of an older build without an identity keeps nothing.
DbStatus keepReplacedVersion(Connection& connection, HistoryOf table, qint64 key,
                             const QString& owner, const QByteArray& uuid, qint64 replaced,
                             int kept);

// Keeps only the newest `kept` versions of the row `uuid` (by replacement time); a deleted
// record's last version is not counted and stays until it ages out.
DbStatus trimVersions(Connection& connection, HistoryOf table, const QByteArray& uuid, int kept);

// The same for every record and entry of `owner` (after the number kept was lowered).
DbStatus trimOwnerVersions(Connection& connection, const QString& owner, int kept);

// Forgets the deleted records of `owner` deleted before `before` (UTC milliseconds): their
// last version and every earlier one. Their tombstones stay.
DbStatus ageOutDeletedRecords(Connection& connection, const QString& owner, qint64 before);

// Empties the history of `owner`: every kept version of its records and journal entries, and
// its deleted records, which can then no longer be restored. Tombstones stay.
DbStatus clearOwnerHistory(Connection& connection, const QString& owner);

}  // namespace ks
