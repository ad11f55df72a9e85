#include "core/BlobRowSealing.h"

#include "storage/Schema.h"

namespace ks {

namespace {

Result<QList<qint64>> ownedRows(Connection& connection, const QString& table,
                                const QString& owner) {
    Statement rows = selectOwned(connection, table, QStringLiteral("Counter"), owner);
    QList<qint64> counters;
    while (rows.next()) {
        counters.append(rows.integer(0));
    }
    if (!rows.status().ok()) {
        return rows.status();
    }
    return counters;
}

}  // namespace

DbStatus sealNamedBlobRows(Connection& connection, const AccountConversion& conversion,
                           const ValueColumn& name, const BlobColumn& blob) {
    const QString table = blob.table;
    const Result<QList<qint64>> counters = ownedRows(connection, table, conversion.from.owner);
    if (!counters.ok()) {
        return counters.status();
    }
    // Read through the owner's index, which holds the name and the identity.
    Statement row = connection.prepare(
        QStringLiteral("SELECT %1, Uuid FROM %2 INDEXED BY %2ByOwner WHERE UserName = ?2 AND "
                       "Counter = ?1")
            .arg(QString(name.name), table));
    for (const qint64 counter : counters.value()) {
        row.reset();
        row.bind(1, counter).bind(2, conversion.from.owner);
        if (!row.next()) {
            if (!row.status().ok()) {
                return row.status();
            }
            continue;
        }
        if (conversion.leaves(row.text(0))) {
            continue;
        }
        const QByteArray kept = row.blob(1);
        const QByteArray uuid = kept.isEmpty() ? newRowUuid() : kept;
        const QString plainName =
            shownValue(conversion.from, name, uuid, row.text(0)).value_or(QString());
        row.reset();
        const std::optional<QString> sealedName = storedValue(conversion.to, name, uuid, plainName);
        if (!sealedName) {
            return {DbCode::Failed, QStringLiteral("a name could not be sealed")};
        }
        const auto rewrite = [&](qint64 sealedSize, const QByteArray* sealed) {
            Statement update = connection.prepare(
                QStringLiteral(
                    "UPDATE %1 SET %2 = ?1, Uuid = ?2, Modified = coalesce(?3, Modified), "
                    "%3 = %4 WHERE Counter = ?5")
                    .arg(table, QString(name.name), QString(blob.name),
                         sealed ? QStringLiteral("?4") : QStringLiteral("zeroblob(?4)")));
            update.bind(1, *sealedName).bindBlob(2, uuid);
            conversion.bindWriteTime(update, 3);
            if (sealed) {
                update.bindBlob(4, *sealed);
            } else {
                update.bind(4, sealedSize);
            }
            return update.bind(5, counter).run();
        };
        if (DbStatus status =
                sealStoredBlob(connection, conversion.to, {blob, counter, uuid}, rewrite);
            !status.ok()) {
            return status;
        }
        conversion.told(uuid);
        if (conversion.rowDone && !conversion.rowDone()) {
            return {DbCode::Cancelled, {}};
        }
    }
    return {};
}

}  // namespace ks
