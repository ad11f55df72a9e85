#include "storage/SchemaUpgrade.h"

#include <QHash>
#include <QStringList>

#include "storage/BlobTables.h"
#include "storage/Schema.h"
#include "storage/SchemaCheck.h"

namespace ks {

namespace {

struct Column {
    QString name;
    QString type;
    bool notNull = false;
    QString defaultValue;  // as SQL text; empty when there is none
    bool key = false;
};

struct Index {
    QString table;
    QString sql;
};

QList<Column> tableColumns(Connection& connection, const QString& table) {
    QList<Column> columns;
    Statement info = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (info.next()) {
        columns.append({info.text(1), info.text(2), info.integer(3) != 0,
                        info.isNull(4) ? QString() : info.text(4), info.integer(5) != 0});
    }
    return columns;
}

// Index name (lower case) -> its table and CREATE statement.
QHash<QString, Index> indexesOf(Connection& connection) {
    QHash<QString, Index> indexes;
    Statement query = connection.prepare(QStringLiteral(
        "SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql NOT NULL"));
    while (query.next()) {
        indexes.insert(query.text(0).toLower(), {query.text(1), query.text(2)});
    }
    return indexes;
}

DbStatus addColumn(Connection& connection, const QString& table, const Column& column) {
    if (column.key || (column.notNull && column.defaultValue.isEmpty())) {
        return {DbCode::MissingTables,
                QStringLiteral("the table %1 has no column %2").arg(table, column.name)};
    }
    QString sql =
        QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, column.name, column.type);
    if (column.notNull) {
        sql += QStringLiteral(" NOT NULL");
    }
    if (!column.defaultValue.isEmpty()) {
        sql += QStringLiteral(" DEFAULT ") + column.defaultValue;
    }
    return connection.exec(sql);
}

DbStatus addMissingColumns(Connection& connection, Connection& reference) {
    for (const QString& table : schemaTableNames()) {
        QStringList present;
        for (const Column& column : tableColumns(connection, table)) {
            present << column.name.toLower();
        }
        for (const Column& column : tableColumns(reference, table)) {
            if (present.contains(column.name.toLower())) {
                continue;
            }
            if (DbStatus status = addColumn(connection, table, column); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

// Whether rows of the database hold one value twice where the unique index `name` (of the
// reference) wants each once.
Result<bool> rowsRefuse(Connection& connection, Connection& reference, const QString& name,
                        const QString& table) {
    QStringList columns;
    Statement info = reference.prepare(QStringLiteral("PRAGMA index_info(%1)").arg(name));
    while (info.next()) {
        columns << info.text(2);
    }
    if (!info.status().ok() || columns.isEmpty()) {
        return info.status();
    }
    Statement twice = connection.prepare(
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 GROUP BY %2 HAVING count(*) > 1)")
            .arg(table, columns.join(u", ")));
    if (!twice.next()) {
        return twice.status();
    }
    return twice.integer(0) > 0;
}

DbStatus refusedByRows(const QString& table, const QString& index) {
    if (table.compare(QStringLiteral("Users"), Qt::CaseInsensitive) == 0) {
        return {DbCode::Unusable, QStringLiteral("two of its accounts have the same name")};
    }
    return {DbCode::Unusable, QStringLiteral("rows of the table %1 hold a value twice that the "
                                             "index %2 wants once")
                                  .arg(table, index)};
}

DbStatus remakeIndexes(Connection& connection, Connection& reference, UpgradeRule rule) {
    const QHash<QString, Index> present = indexesOf(connection);
    const QHash<QString, Index> wanted = indexesOf(reference);
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QString have = present.value(it.key()).sql;
        if (have.simplified().compare(it.value().sql.simplified(), Qt::CaseInsensitive) == 0) {
            continue;
        }
        if (it.value().sql.contains(QLatin1String("UNIQUE"), Qt::CaseInsensitive)) {
            const Result<bool> refused =
                rowsRefuse(connection, reference, it.key(), it.value().table);
            if (!refused.ok()) {
                return refused.status();
            }
            if (refused.value()) {
                if (rule == UpgradeRule::Strict) {
                    return refusedByRows(it.value().table, it.key());
                }
                continue;  // the rows are kept as they are, with the index they had
            }
        }
        if (!have.isEmpty()) {
            if (DbStatus status = connection.exec(QStringLiteral("DROP INDEX ") + it.key());
                !status.ok()) {
                return status;
            }
        }
        if (DbStatus status = connection.exec(it.value().sql); !status.ok()) {
            return {status.code,
                    QStringLiteral("index %1 cannot be made: %2").arg(it.key(), status.detail)};
        }
    }
    return {};
}

// The tables added after the first ones, made whole where the database lacks them.
DbStatus addMissingTables(Connection& connection) {
    for (const QString& table : addedTableNames()) {
        Statement present = connection.prepare(QStringLiteral(
            "SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 "
            "COLLATE NOCASE)"));
        present.bind(1, table);
        if (!present.next()) {
            return present.status();
        }
        if (present.integer(0) == 0) {
            if (DbStatus status = connection.exec(addedTableDefinition(table)); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

// Rows without an identity get one: rows of a database made before identities were kept, and
// rows that an older build added since.
DbStatus identifyRows(Connection& connection) {
    for (const QString& table : schemaTableNames()) {
        if (DbStatus status = connection.exec(
                QStringLiteral("UPDATE %1 SET Uuid = randomblob(16) WHERE Uuid IS NULL")
                    .arg(table));
            !status.ok()) {
            return status;
        }
    }
    return {};
}

}  // namespace

Result<bool> rowsLackIdentity(Connection& connection) {
    for (const QString& table : schemaTableNames()) {
        Statement query = connection.prepare(
            QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE Uuid IS NULL)").arg(table));
        if (!query.next()) {
            return query.status();
        }
        if (query.integer(0) != 0) {
            return true;
        }
    }
    return false;
}

DbStatus giveRowsIdentities(Connection& connection) {
    const Result<bool> lacking = rowsLackIdentity(connection);
    if (!lacking.ok() || !lacking.value()) {
        return lacking.ok() ? DbStatus{} : lacking.status();
    }
    Transaction transaction = connection.begin();
    if (!transaction.status().ok()) {
        return transaction.status();
    }
    if (DbStatus status = identifyRows(connection); !status.ok()) {
        return status;
    }
    return transaction.commit();
}

DbStatus bringSchemaUpToDate(Connection& connection, UpgradeRule rule) {
    // The schema of this build, made where it cannot touch anything.
    Result<Connection> reference = referenceSchema();
    if (!reference.ok()) {
        return reference.status();
    }
    Transaction transaction = connection.begin();
    if (!transaction.status().ok()) {
        return transaction.status();
    }
    if (DbStatus status = addMissingColumns(connection, reference.value()); !status.ok()) {
        return status;
    }
    if (DbStatus status = addMissingTables(connection); !status.ok()) {
        return status;
    }
    if (DbStatus status = keepBlobsLast(connection); !status.ok()) {
        return status;
    }
    if (DbStatus status = identifyRows(connection); !status.ok()) {
        return status;
    }
    if (DbStatus status = remakeIndexes(connection, reference.value(), rule); !status.ok()) {
        return status;
    }
    return transaction.commit();
}

}  // namespace ks
