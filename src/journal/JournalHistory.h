#pragma once

#include <QList>
#include <QString>

#include "core/Account.h"
#include "storage/Database.h"
#include "storage/SettingsFile.h"

namespace ks {

// The kept texts of the journal's entries. A save of an existing entry keeps the text it
// replaces (see storage/HistoryRows.h), except within a run of saves: saves that each follow
// the one before within ten minutes keep only the text the run began with, so that saving
// often while writing does not fill the history with fragments.
inline constexpr qint64 kJournalRunMs = 10LL * 60 * 1000;

// How a save keeps the text it replaces.
struct JournalKeeping {
    int versionsKept = HistorySettings::kDefaultVersions;  // 0 keeps none
    bool keepAlways = false;  // a restore keeps what it replaces, whenever it was written
};

// Keeps the text of the owner's entry row `id` (identity `uuid`) that a save at `now` is about
// to replace, as `keeping` says, and only the newest versions kept of that entry. On the
// caller's connection, inside the save's transaction.
DbStatus keepReplacedEntry(Connection& connection, qint64 id, const QString& owner,
                           const QByteArray& uuid, qint64 now, const JournalKeeping& keeping);

struct JournalVersion {
    qint64 id = 0;
    qint64 modified = 0;  // when this text was written (UTC ms; 0 when unknown)
    qint64 replaced = 0;  // when a save replaced it (UTC ms)
    QString text;         // damagedValueText() when it does not open
    bool damaged = false;
};

// The kept texts of the account's entry of the day, newest first; empty without an entry.
Result<QList<JournalVersion>> ListJournalHistory(DatabaseAccess& database, const Account& account,
                                                 const QString& dateText);

}  // namespace ks
