#include "sync/SyncSeen.h"

namespace ks::syncing {

namespace {

// The tables whose rows a file carries, with the column holding a version's time.
struct VersionedTable {
    QString name;
    int kind;
    QString time;
};

const QList<VersionedTable>& versionedTables() {
    static const QList<VersionedTable> tables = {
        {QStringLiteral("Users"), 0, QStringLiteral("Modified")},
        {QStringLiteral("Logins"), 0, QStringLiteral("Modified")},
        {QStringLiteral("LoginsCategory"), 0, QStringLiteral("Modified")},
        {QStringLiteral("Journals"), 0, QStringLiteral("Modified")},
        {QStringLiteral("Images"), 0, QStringLiteral("Modified")},
        {QStringLiteral("Files"), 0, QStringLiteral("Modified")},
        {QStringLiteral("Tombstones"), 1, QStringLiteral("Deleted")}};
    return tables;
}

DbStatus readVersions(Connection& file, const VersionedTable& table, QList<SeenVersion>& into) {
    Statement rows =
        file.prepare(QStringLiteral("SELECT Uuid, %1 FROM main.%2 WHERE Uuid IS NOT NULL")
                         .arg(table.time, table.name));
    while (rows.next()) {
        into.append({rows.blob(0), table.kind, rows.integer(1)});
    }
    return rows.status();
}

}  // namespace

Result<QList<SeenVersion>> versionsIn(Connection& file) {
    QList<SeenVersion> versions;
    for (const VersionedTable& table : versionedTables()) {
        if (DbStatus status = readVersions(file, table, versions); !status.ok()) {
            return status;
        }
    }
    return versions;
}

DbStatus noteSeen(Connection& connection, const QList<SeenVersion>& versions) {
    // An update, or an insert where there is nothing to update: neither needs the engine to keep
    // a journal of its own for the statement (OR FAIL: each touches one row, so failing and
    // aborting leave the same), which, encrypted page by page, would cost more than the write.
    Statement update = connection.prepare(
        QStringLiteral("UPDATE OR FAIL SyncSeen SET Modified = ?3 WHERE Uuid = ?1 AND Kind = ?2"));
    Statement insert = connection.prepare(
        QStringLiteral("INSERT OR FAIL INTO SyncSeen (Uuid, Kind, Modified) VALUES (?1, ?2, ?3)"));
    for (const SeenVersion& version : versions) {
        update.reset();
        update.bindBlob(1, version.uuid).bind(2, version.kind).bind(3, version.modified);
        if (DbStatus status = update.run(); !status.ok()) {
            return status;
        }
        if (connection.changes() > 0) {
            continue;
        }
        insert.reset();
        insert.bindBlob(1, version.uuid).bind(2, version.kind).bind(3, version.modified);
        if (DbStatus status = insert.run(); !status.ok()) {
            return status;
        }
    }
    return {};
}

// Whether the target holds a row or a deletion of this identity in a version not in the folder
// yet.
QString unsentQuery() {
    QStringList terms;
    for (const VersionedTable& table : versionedTables()) {
        terms << QStringLiteral(
                     "EXISTS (SELECT 1 FROM %1 t WHERE t.Uuid = ?1 AND NOT EXISTS "
                     "(SELECT 1 FROM SyncSeen s WHERE s.Uuid = t.Uuid AND "
                     "s.Kind = %2 AND s.Modified = t.%3))")
                     .arg(table.name)
                     .arg(table.kind)
                     .arg(table.time);
    }
    return QStringLiteral("SELECT ") + terms.join(QStringLiteral(" OR "));
}

Result<QSet<QByteArray>> unsentRows(Connection& target, Connection& file) {
    Result<QList<SeenVersion>> versions = versionsIn(file);
    if (!versions.ok()) {
        return versions.status();
    }
    // A deletion that comes in counts too: the version it removes here goes to history, and
    // must go out with the deletion; and a deletion made here that one from elsewhere replaces
    // must go out again, with the versions it kept.
    Statement own = target.prepare(unsentQuery());
    QSet<QByteArray> unsent;
    for (const SeenVersion& version : versions.value()) {
        own.reset();
        own.bindBlob(1, version.uuid);
        if (!own.next()) {
            return own.status();
        }
        if (own.integer(0) != 0) {
            unsent.insert(version.uuid);
        }
    }
    return unsent;
}

DbStatus noteArrived(Connection& target, Connection& file, const QSet<QByteArray>& unsent) {
    QList<SeenVersion> held;
    for (const VersionedTable& table : versionedTables()) {
        QList<SeenVersion> versions;
        if (DbStatus status = readVersions(file, table, versions); !status.ok()) {
            return status;
        }
        Statement here = target.prepare(
            QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE Uuid = ?1 AND %2 = ?2)")
                .arg(table.name, table.time));
        for (const SeenVersion& version : versions) {
            if (unsent.contains(version.uuid)) {
                continue;
            }
            here.reset();
            here.bindBlob(1, version.uuid).bind(2, version.modified);
            if (!here.next()) {
                return here.status();
            }
            if (here.integer(0) != 0) {
                held.append(version);
            }
        }
    }
    return noteSeen(target, held);
}

}  // namespace ks::syncing
