#include "sync/MergeTables.h"

#include <QStringList>
#include <algorithm>

namespace ks::merging {

namespace {

using L = QLatin1StringView;

QString columnList(const ContentTable& table) {
    QStringList names;
    for (const QLatin1StringView column : table.columns) {
        names.append(column);
    }
    return names.join(QStringLiteral(", "));
}

// Key, owner, identity, time, the values and the blob's length.
QString rowColumns(const ContentTable& table) {
    return QStringLiteral("%1, %2, Uuid, Modified, %3, %4")
        .arg(table.key, table.owner, columnList(table),
             table.blob.isEmpty() ? QStringLiteral("-1")
                                  : QStringLiteral("ifnull(length(%1), -1)").arg(table.blob));
}

StoredRow rowOf(const Statement& query, const ContentTable& table) {
    StoredRow row;
    row.key = query.integer(0);
    row.owner = query.text(1);
    row.uuid = query.blob(2);
    row.modified = query.integer(3);
    int column = 4;
    for (const QLatin1StringView name : table.columns) {
        row.values.append(table.isNumber(name) ? QVariant(query.integer(column))
                                               : QVariant(query.text(column)));
        ++column;
    }
    row.blobSize = query.integer(column);
    return row;
}

}  // namespace

const QList<ContentTable>& contentTables() {
    static const QList<ContentTable> tables = {
        {MergeKind::Records,
         L("Logins"),
         L("KeyUserName"),
         L("Counter"),
         {L("ShortName"), L("UserName"), L("Password"), L("Description"), L("Notes"),
          L("Category")},
         {},
         {},
         HistoryOf::Records,
         L("ShortName")},
        {MergeKind::Categories,
         L("LoginsCategory"),
         L("UserName"),
         L("Id"),
         {L("CategoryName")},
         {},
         {},
         std::nullopt,
         L("CategoryName")},
        {MergeKind::Entries,
         L("Journals"),
         L("UserName"),
         L("Id"),
         {L("Date"), L("Journal"), L("DateCreated"), L("LastModified")},
         {},
         {},
         HistoryOf::Journal,
         L("Journal")},
        {MergeKind::Pictures,
         L("Images"),
         L("UserName"),
         L("Counter"),
         {L("ImageName")},
         {},
         L("Image"),
         std::nullopt,
         L("ImageName")},
        {MergeKind::Files,
         L("Files"),
         L("UserName"),
         L("Counter"),
         {L("FileName"), L("Size"), L("CompressedSize"), L("LastModified")},
         {L("Size"), L("CompressedSize")},
         L("File"),
         std::nullopt,
         L("FileName")},
    };
    return tables;
}

const ContentTable& contentTable(MergeKind kind) {
    return contentTables().at(static_cast<int>(kind));
}

Result<std::optional<StoredRow>> readRow(Connection& connection, const ContentTable& table,
                                         const QByteArray& uuid) {
    Statement query = connection.prepareKept(
        QStringLiteral("SELECT %1 FROM %2 WHERE Uuid = ?1").arg(rowColumns(table), table.name));
    query.bindBlob(1, uuid);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<StoredRow>();
    }
    return std::optional<StoredRow>(rowOf(query, table));
}

DbStatus forEachRow(Connection& connection, const ContentTable& table, const QString& owner,
                    const std::function<DbStatus(const StoredRow&)>& visit) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1 AND Uuid IS NOT NULL ORDER BY %4")
            .arg(rowColumns(table), table.name, table.owner, table.key));
    query.bind(1, owner);
    while (query.next()) {
        if (DbStatus status = visit(rowOf(query, table)); !status.ok()) {
            return status;
        }
    }
    return query.status();
}

bool sameVersion(const StoredRow& a, const StoredRow& b) {
    return a.modified == b.modified && a.blobSize == b.blobSize &&
           a.values.size() == b.values.size() &&
           std::equal(
               a.values.cbegin(), a.values.cend(), b.values.cbegin(),
               [](const QVariant& x, const QVariant& y) { return valueBytes(x) == valueBytes(y); });
}

bool winsOver(const StoredRow& a, const StoredRow& b) {
    if (a.modified != b.modified) {
        return a.modified > b.modified;
    }
    for (qsizetype i = 0; i < qMin(a.values.size(), b.values.size()); ++i) {
        const int order = valueBytes(a.values.at(i)).compare(valueBytes(b.values.at(i)));
        if (order != 0) {
            return order > 0;
        }
    }
    return a.blobSize > b.blobSize;
}

QByteArray valueBytes(const QVariant& value) {
    return value.typeId() == QMetaType::LongLong ? QByteArray::number(value.toLongLong())
                                                 : value.toString().toUtf8();
}

void bindValue(Statement& statement, int index, const QVariant& value) {
    if (value.typeId() == QMetaType::LongLong) {
        statement.bind(index, value.toLongLong());
    } else {
        statement.bind(index, value.toString());
    }
}

}  // namespace ks::merging
