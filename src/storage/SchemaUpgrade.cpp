#include "storage/SchemaUpgrade.h"

#include <QHash>
#include <QStringList>

#include "storage/Schema.h"

namespace ks {

namespace {

struct Column {
    QString name;
    QString type;
    bool notNull = false;
    QString defaultValue;  // as SQL text; empty when there is none
    bool key = false;
};

QList<Column> columnsOf(Connection& connection, const QString& table) {
    QList<Column> columns;
    Statement info = connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (info.next()) {
        columns.append({info.text(1), info.text(2), info.integer(3) != 0,
                        info.isNull(4) ? QString() : info.text(4), info.integer(5) != 0});
    }
    return columns;
}

// Index name (lower case) -> its CREATE statement.
QHash<QString, QString> indexesOf(Connection& connection) {
    QHash<QString, QString> indexes;
    Statement query = connection.prepare(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql NOT NULL"));
    while (query.next()) {
        indexes.insert(query.text(0).toLower(), query.text(1));
    }
    return indexes;
}

DbStatus addColumn(Connection& connection, const QString& table, const Column& column) {
    if (column.key || (column.notNull && column.defaultValue.isEmpty())) {
        return {DbCode::MissingTables,
                QStringLiteral("column %1 of %2 is missing").arg(column.name, table)};
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
        for (const Column& column : columnsOf(connection, table)) {
            present << column.name.toLower();
        }
        for (const Column& column : columnsOf(reference, table)) {
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

DbStatus remakeIndexes(Connection& connection, Connection& reference) {
    const QHash<QString, QString> present = indexesOf(connection);
    const QHash<QString, QString> wanted = indexesOf(reference);
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QString have = present.value(it.key());
        if (have.simplified().compare(it.value().simplified(), Qt::CaseInsensitive) == 0) {
            continue;
        }
        if (!have.isEmpty()) {
            if (DbStatus status = connection.exec(QStringLiteral("DROP INDEX ") + it.key());
                !status.ok()) {
                return status;
            }
        }
        if (DbStatus status = connection.exec(it.value()); !status.ok()) {
            return {status.code,
                    QStringLiteral("index %1 cannot be made: %2").arg(it.key(), status.detail)};
        }
    }
    return {};
}

}  // namespace

DbStatus bringSchemaUpToDate(Connection& connection) {
    // The schema of this build, made where it cannot touch anything.
    // Keyed like every connection (a raw key costs nothing to derive).
    const QByteArray key = QByteArray("x'") + QByteArray(64, '0') + QByteArray("'");
    Result<Connection> reference = Connection::openFile(QStringLiteral(":memory:"), key, true);
    if (!reference.ok()) {
        return reference.status();
    }
    if (DbStatus status = createSchema(reference.value()); !status.ok()) {
        return status;
    }
    Transaction transaction = connection.begin();
    if (!transaction.status().ok()) {
        return transaction.status();
    }
    if (DbStatus status = addMissingColumns(connection, reference.value()); !status.ok()) {
        return status;
    }
    if (DbStatus status = remakeIndexes(connection, reference.value()); !status.ok()) {
        return status;
    }
    return transaction.commit();
}

}  // namespace ks
