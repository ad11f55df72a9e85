#include "journal/JournalHistory.h"

#include "core/AccountConversion.h"
#include "core/AccountValues.h"
#include "journal/JournalStore.h"
#include "storage/HistoryRows.h"

namespace ks {

namespace {

// Whether the text a save at `now` replaces belongs to a run whose first text is kept already:
// it was written less than a run's gap before, and the entry has a kept text.
Result<bool> withinKeptRun(Connection& connection, qint64 id, const QByteArray& uuid, qint64 now) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT (SELECT Modified FROM Journals WHERE Id = ?1), "
                       "EXISTS (SELECT 1 FROM JournalsHistory WHERE Uuid = ?2)"));
    query.bind(1, id).bindBlob(2, uuid);
    if (!query.next()) {
        return query.status();
    }
    const qint64 written = query.integer(0);
    return written > 0 && now - written < kJournalRunMs && query.integer(1) != 0;
}

}  // namespace

DbStatus keepReplacedEntry(Connection& connection, qint64 id, const QString& owner,
                           const QByteArray& uuid, qint64 now, const JournalKeeping& keeping) {
    if (uuid.isEmpty()) {
        return {};  // a row of an older build, without an identity until the next open
    }
    if (keeping.versionsKept > 0) {
        bool skip = false;
        if (!keeping.keepAlways) {
            const Result<bool> inRun = withinKeptRun(connection, id, uuid, now);
            if (!inRun.ok()) {
                return inRun.status();
            }
            skip = inRun.value();
        }
        if (!skip) {
            if (DbStatus status = keepVersion(connection, HistoryOf::Journal, id, owner, now);
                !status.ok()) {
                return status;
            }
        }
    }
    return trimVersions(connection, HistoryOf::Journal, uuid, keeping.versionsKept);
}

Result<QList<JournalVersion>> ListJournalHistory(DatabaseAccess& database, const Account& account,
                                                 const QString& dateText) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    // Every kept text of the owner's day, through the index of owner and day: the entry's own
    // versions, and those of an entry of the same day made on another machine that lost to it
    // in a merge (kept under their own identity, which a protected account's text is bound to).
    Statement query = connection->prepare(QStringLiteral(
        "SELECT h.Id, h.Modified, h.Replaced, h.Journal, h.Uuid FROM JournalsHistory h INDEXED "
        "BY JournalsHistoryByOwner WHERE h.UserName = ?1 AND h.Date = ?2 ORDER BY h.Replaced "
        "DESC, h.Id DESC"));
    query.bind(1, account.owner).bind(2, dateText);
    QList<JournalVersion> versions;
    while (query.next()) {
        JournalVersion version{query.integer(0), query.integer(1), query.integer(2), {}, false};
        const std::optional<QString> text = shownJournalText(account, query.blob(4), query.text(3));
        version.damaged = !text;
        version.text = text.value_or(damagedValueText());
        versions.append(std::move(version));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return versions;
}

}  // namespace ks
