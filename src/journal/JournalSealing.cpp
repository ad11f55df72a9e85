// Protecting an account's journal: every entry and every kept text of it turned into the sealed
// form of the account's new keys.
#include "core/AccountConversion.h"
#include "core/AccountValues.h"
#include "journal/JournalStore.h"
#include "storage/Schema.h"

namespace ks {

namespace {

// The Ids of the owner's rows of `table`, in stored order: a conversion collects them first
// and then rewrites row by row, never under a running scan of the table.
Result<QList<qint64>> ownedRowIds(Connection& connection, const QString& table,
                                  const QString& owner) {
    Statement rows = connection.prepare(
        QStringLiteral("SELECT Id FROM %1 WHERE UserName = ?1 ORDER BY Id").arg(table));
    rows.bind(1, owner);
    QList<qint64> ids;
    while (rows.next()) {
        ids.append(rows.integer(0));
    }
    if (!rows.status().ok()) {
        return rows.status();
    }
    return ids;
}

// Rewrites the text of the owner's rows of `table`, each bound to its entry's identity. A live
// entry without an identity takes one, and its time of last write is the conversion's; a kept
// text keeps its times.
DbStatus resealTexts(Connection& connection, const AccountConversion& conversion,
                     const QString& table, bool liveEntries) {
    const Result<QList<qint64>> ids = ownedRowIds(connection, table, conversion.from.owner);
    if (!ids.ok()) {
        return ids.status();
    }
    Statement row =
        connection.prepare(QStringLiteral("SELECT Journal, Uuid FROM %1 WHERE Id = ?1").arg(table));
    Statement update = connection.prepare(
        liveEntries
            ? QStringLiteral(
                  "UPDATE %1 SET Journal = ?1, Uuid = ?2, Modified = coalesce(?3, Modified) "
                  "WHERE Id = ?4")
                  .arg(table)
            : QStringLiteral("UPDATE %1 SET Journal = ?1 WHERE Id = ?4").arg(table));
    for (const qint64 id : ids.value()) {
        row.reset();
        row.bind(1, id);
        if (!row.next()) {
            if (!row.status().ok()) {
                return row.status();
            }
            continue;
        }
        if (conversion.leaves(row.text(0))) {
            continue;
        }
        QByteArray uuid = row.blob(1);
        if (uuid.isEmpty() && liveEntries) {
            uuid = newRowUuid();
        }
        // An entry of the shared form is read as its load shows it.
        const QString text =
            shownJournalText(conversion.from, uuid, row.text(0)).value_or(QString());
        const std::optional<QString> sealed =
            storedValue(conversion.to, columns::kJournalText, uuid, text);
        if (!sealed) {
            return {DbCode::Failed, liveEntries
                                        ? QStringLiteral("an entry could not be sealed")
                                        : QStringLiteral("a kept entry could not be sealed")};
        }
        update.reset();
        update.bind(1, *sealed).bind(4, id);
        if (liveEntries) {
            update.bindBlob(2, uuid);
            conversion.bindWriteTime(update, 3);
        }
        if (DbStatus status = update.run(); !status.ok()) {
            return status;
        }
        conversion.told(uuid);
        if (conversion.rowDone && !conversion.rowDone()) {
            return {DbCode::Cancelled, {}};
        }
    }
    return {};
}

}  // namespace

DbStatus sealJournal(Connection& connection, const AccountConversion& conversion) {
    if (DbStatus status = resealTexts(connection, conversion, QStringLiteral("Journals"), true);
        !status.ok()) {
        return status;
    }
    return resealTexts(connection, conversion, QStringLiteral("JournalsHistory"), false);
}

}  // namespace ks
