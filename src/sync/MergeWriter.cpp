#include "sync/MergeWriter.h"

#include <QStringList>

#include "storage/HistoryRows.h"
#include "storage/Tombstones.h"

namespace ks::merging {

namespace {

using Op = MergeStep::Op;

QString columnNames(const ContentTable& table) {
    QStringList names;
    for (const QLatin1StringView column : table.columns) {
        names.append(column);
    }
    return names.join(QStringLiteral(", "));
}

// "?first, ?first+1 ..." for `count` parameters.
QString places(qsizetype count, qsizetype first) {
    QStringList parts;
    for (qsizetype i = 0; i < count; ++i) {
        parts.append(QStringLiteral("?%1").arg(first + i));
    }
    return parts.join(QStringLiteral(", "));
}

// "c1 = ?4, c2 = ?5 ..." for the table's values.
QString assignments(const ContentTable& table) {
    QStringList parts;
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        parts.append(QStringLiteral("%1 = ?%2").arg(table.columns.at(i)).arg(i + 4));
    }
    return parts.join(QStringLiteral(", "));
}

// The parameter of the key of the row an update replaces: after the values and the blob's.
int keyParameter(const StoredRow& row) {
    return int(row.values.size() + 5);
}

// Binds a row's time (?1), identity (?2), owner (?3) and values (?4 ...), with a renamed
// record's name and time in their place; the blob's parameter comes after the values.
void bindRow(Statement& statement, const ContentTable& table, const StoredRow& row,
             const MergeStep& step) {
    statement.bind(1, step.storedName ? step.renamedAt : row.modified)
        .bindBlob(2, row.uuid)
        .bind(3, row.owner);
    for (qsizetype i = 0; i < row.values.size(); ++i) {
        if (step.storedName && i == table.nameIndex()) {
            statement.bind(int(i + 4), *step.storedName);
        } else {
            bindValue(statement, int(i + 4), row.values.at(i));
        }
    }
    if (!table.blob.isEmpty()) {
        const int blob = int(row.values.size() + 4);
        if (row.blobSize < 0) {
            statement.bindNull(blob);
        } else {
            statement.bind(blob, row.blobSize);
        }
    }
}

Result<StoredRow> incomingRow(Connection& source, const ContentTable& table,
                              const QByteArray& uuid) {
    Result<std::optional<StoredRow>> row = readRow(source, table, uuid);
    if (!row.ok()) {
        return row.status();
    }
    if (!row.value()) {
        return DbStatus{DbCode::Failed, QStringLiteral("a row of the other database is gone")};
    }
    return *row.value();
}

// Adds the other's row, or puts its version in place of the row here.
DbStatus writeRow(Connection& target, Connection& source, const MergeStep& step, qint64 now) {
    const ContentTable& table = contentTable(step.kind);
    const Result<StoredRow> row = incomingRow(source, table, step.uuid);
    if (!row.ok()) {
        return row.status();
    }
    // A NULL blob stays NULL; any other is filled a chunk at a time once its row is written.
    const QString blob = QStringLiteral("CASE WHEN ?%1 IS NULL THEN NULL ELSE zeroblob(?%1) END")
                             .arg(row.value().values.size() + 4);
    QString sql;
    if (step.op == Op::Add) {
        sql = QStringLiteral("INSERT INTO %1 (Modified, Uuid, %2, %3%4) VALUES (?1, ?2, ?3, %5%6)")
                  .arg(table.name, table.owner, columnNames(table),
                       table.blob.isEmpty() ? QString() : QStringLiteral(", ") + table.blob,
                       places(table.columns.size(), 4),
                       table.blob.isEmpty() ? QString() : QStringLiteral(", ") + blob);
    } else {
        if (step.keepVersion && table.history) {
            if (DbStatus status = keepVersion(target, *table.history, step.key, step.owner, now);
                !status.ok()) {
                return status;
            }
        }
        // The row keeps its identity and owner, so the indexes on them are left alone; OR FAIL,
        // as one row changes, spares the engine a journal of the statement's own.
        sql = QStringLiteral(
                  "UPDATE OR FAIL %1 SET Modified = ?1, %2%3 WHERE %4 = ?%5 AND Uuid = ?2 AND "
                  "%6 = ?3")
                  .arg(table.name, assignments(table),
                       table.blob.isEmpty() ? QString()
                                            : QStringLiteral(", %1 = %2").arg(table.blob, blob),
                       table.key)
                  .arg(keyParameter(row.value()))
                  .arg(table.owner);
    }
    Statement write = target.prepareKept(sql);
    bindRow(write, table, row.value(), step);
    if (step.op != Op::Add) {
        write.bind(keyParameter(row.value()), step.key);
    }
    if (DbStatus status = write.run(); !status.ok()) {
        return status;
    }
    if (target.changes() != 1) {
        return DbStatus{DbCode::Failed, QStringLiteral("a row here changed during the merge")};
    }
    if (table.blob.isEmpty() || row.value().blobSize <= 0) {
        return {};
    }
    const qint64 written = step.op == Op::Add ? target.lastInsertId() : step.key;
    return copyBlobAcross(source, target, table.name, table.blob, row.value().key, written);
}

DbStatus deleteRow(Connection& target, const MergeStep& step, qint64 now) {
    const ContentTable& table = contentTable(step.kind);
    if (step.keepVersion && table.history) {
        if (DbStatus status =
                keepVersion(target, *table.history, step.key, step.owner, now, step.deletedRecord);
            !status.ok()) {
            return status;
        }
    }
    if (DbStatus status =
            TombstoneWriter(target, table.name).leaveFor(step.key, step.owner, step.time);
        !status.ok()) {
        return status;
    }
    Statement remove = target.prepareKept(QStringLiteral("DELETE FROM %1 WHERE %2 = ?1 AND %3 = ?2")
                                              .arg(table.name, table.key, table.owner));
    remove.bind(1, step.key).bind(2, step.owner);
    return remove.run();
}

// The tombstone of a row, at the later of its time and the one kept here already.
DbStatus leaveTombstone(Connection& target, const QByteArray& uuid, const QString& table,
                        const QString& owner, qint64 time) {
    Statement write = target.prepareKept(QStringLiteral(
        "INSERT OR REPLACE INTO Tombstones (Uuid, TableName, Owner, Deleted) VALUES (?1, ?2, ?3, "
        "max(?4, ifnull((SELECT Deleted FROM Tombstones WHERE Uuid = ?1), ?4)))"));
    write.bindBlob(1, uuid).bind(2, table).bind(3, owner).bind(4, time);
    return write.run();
}

// A version of the other's (its live row, or a row of its history) into the history here.
DbStatus keepVersionOf(Connection& target, Connection& source, const MergeStep& step, qint64 now) {
    const ContentTable& table = contentTable(step.kind);
    const bool records = step.kind == MergeKind::Records;
    const QString deleted = records ? QStringLiteral(", Deleted") : QString();
    Statement read = source.prepareKept(
        step.op == Op::ImportVersion
            ? QStringLiteral("SELECT Modified, Uuid, %1, %2, Replaced%3 FROM %4History WHERE Id "
                             "= ?1")
                  .arg(table.owner, columnNames(table), deleted, table.name)
            : QStringLiteral("SELECT Modified, Uuid, %1, %2, ?2%3 FROM %4 WHERE Uuid = ?1")
                  .arg(table.owner, columnNames(table), records ? QStringLiteral(", 0") : QString(),
                       table.name));
    if (step.op == Op::ImportVersion) {
        read.bind(1, step.key);
    } else {
        read.bindBlob(1, step.uuid).bind(2, now);
    }
    if (!read.next()) {
        return read.status().ok()
                   ? DbStatus{DbCode::Failed, QStringLiteral("a version of the other is gone")}
                   : read.status();
    }
    const int count = int(table.columns.size());
    Statement write = target.prepareKept(
        QStringLiteral("INSERT INTO %1History (Modified, Uuid, %2, %3, Replaced%4) VALUES (%5)")
            .arg(table.name, table.owner, columnNames(table), deleted,
                 places(count + (records ? 5 : 4), 1)));
    write.bind(1, read.integer(0)).bindBlob(2, read.blob(1)).bind(3, read.text(2));
    for (int i = 0; i < count; ++i) {
        write.bind(i + 4, read.text(i + 3));
    }
    write.bind(count + 4, read.integer(count + 3));
    if (records) {
        write.bind(count + 5, read.integer(count + 4));
    }
    return write.run();
}

DbStatus writeStep(Connection& target, Connection& source, const MergeStep& step, qint64 now) {
    switch (step.op) {
        case Op::Add:
        case Op::Replace:
            return writeRow(target, source, step, now);
        case Op::Delete:
            return deleteRow(target, step, now);
        case Op::KeepIncoming:
        case Op::ImportVersion:
            return keepVersionOf(target, source, step, now);
        case Op::LeaveTombstone:
            break;
    }
    return leaveTombstone(target, step.uuid, contentTable(step.kind).name, step.owner, step.time);
}

// The other's tombstones of the account join those here; a tombstone of a row that is live
// after the merge (written after it, or brought back) goes, and so does the deleted mark of such
// a record's last version, which stays an earlier version.
DbStatus mergeTombstones(Connection& target, Connection& source, const QString& owner) {
    Statement tombstones = source.prepare(
        QStringLiteral("SELECT Uuid, TableName, Deleted FROM Tombstones WHERE Owner = ?1"));
    tombstones.bind(1, owner);
    while (tombstones.next()) {
        if (DbStatus status = leaveTombstone(target, tombstones.blob(0), tombstones.text(1), owner,
                                             tombstones.integer(2));
            !status.ok()) {
            return status;
        }
    }
    if (!tombstones.status().ok()) {
        return tombstones.status();
    }
    QStringList sql;
    for (const ContentTable& table : contentTables()) {
        sql.append(QStringLiteral("DELETE FROM Tombstones WHERE Owner = ?1 AND TableName = '%1' "
                                  "AND Uuid IN (SELECT Uuid FROM %1 WHERE %2 = ?1)")
                       .arg(table.name, table.owner));
    }
    sql.append(
        QStringLiteral("UPDATE LoginsHistory SET Deleted = 0 WHERE KeyUserName = ?1 AND "
                       "Deleted = 1 AND Uuid IN (SELECT Uuid FROM Logins WHERE "
                       "KeyUserName = ?1)"));
    for (const QString& text : sql) {
        Statement statement = target.prepare(text);
        statement.bind(1, owner);
        if (DbStatus status = statement.run(); !status.ok()) {
            return status;
        }
    }
    return {};
}

DbStatus injectedFailure() {
    return {DbCode::Failed, QStringLiteral("the merge was stopped on purpose")};
}

}  // namespace

DbStatus writePlan(Connection& target, Connection& source, const MergePlan& plan, qint64 now,
                   const std::function<bool(int)>& failAfter) {
    for (const AccountPlan& account : plan.accounts) {
        if (account.refusal.isEmpty()) {
            if (DbStatus status = writeAccount(target, source, account); !status.ok()) {
                return status;
            }
        }
    }
    int number = 0;
    for (const MergeStep& step : plan.steps) {
        if (DbStatus status = writeStep(target, source, step, now); !status.ok()) {
            return status;
        }
        if (failAfter && failAfter(++number)) {
            return injectedFailure();
        }
    }
    for (const AccountPlan& account : plan.accounts) {
        if (account.refusal.isEmpty()) {
            if (DbStatus status = mergeTombstones(target, source, account.owner); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

}  // namespace ks::merging
