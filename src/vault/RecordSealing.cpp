#include "vault/RecordSealing.h"

#include <array>
#include <vector>

#include "core/AccountValues.h"
#include "storage/Schema.h"
#include "vault/CategoryStore.h"

namespace ks {

namespace {

// Rows are read a batch at a time and written after the batch's statement is done, so that no
// row is written under a reading that walks the index it changes.
constexpr qint64 kRowsPerBatch = 500;

constexpr std::array kRecordColumns{&columns::kShortName, &columns::kRecordUserName,
                                    &columns::kPassword,  &columns::kDescription,
                                    &columns::kNotes,     &columns::kCategory};

struct Row {
    qint64 key = 0;
    QByteArray uuid;
    QStringList values;  // as `to` stores them
    bool left = false;   // already sealed: not converted
};

// The value `stored` as `from` reads it, as `to` stores it; nullopt when either fails.
std::optional<QString> converted(const AccountConversion& conversion, const ValueColumn& column,
                                 const QByteArray& uuid, const QString& stored) {
    const std::optional<QString> plain = shownValue(conversion.from, column, uuid, stored);
    return plain ? storedValue(conversion.to, column, uuid, *plain) : std::nullopt;
}

// The next batch of the account's rows after `after`: the select's columns are the key, the
// Uuid and then one per value column.
Result<std::vector<Row>> readBatch(Connection& connection, const QString& select,
                                   const AccountConversion& conversion, qint64 after,
                                   const std::vector<const ValueColumn*>& valueColumns) {
    Statement query = connection.prepare(select);
    query.bind(1, conversion.from.owner).bind(2, after).bind(3, kRowsPerBatch);
    std::vector<Row> rows;
    while (query.next()) {
        Row row{query.integer(0), query.blob(1), {}};
        // The first value column is the row's name.
        if (conversion.leaves(query.text(2))) {
            row.left = true;
            rows.push_back(std::move(row));
            continue;
        }
        for (size_t at = 0; at < valueColumns.size(); ++at) {
            const std::optional<QString> value = converted(conversion, *valueColumns[at], row.uuid,
                                                           query.text(static_cast<int>(at) + 2));
            if (!value) {
                return notSealedStatus();
            }
            row.values.append(*value);
        }
        rows.push_back(std::move(row));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return rows;
}

// Converts the rows a select finds, writing each with `update` (the values, then Modified, then
// the key). A kept version keeps its times: its update has no Modified, only the key after the
// values.
DbStatus convertRows(Connection& connection, const AccountConversion& conversion,
                     const QString& select, const QString& update,
                     const std::vector<const ValueColumn*>& valueColumns, bool stamped = true) {
    Statement write = connection.prepare(update);
    for (qint64 after = 0;;) {
        const Result<std::vector<Row>> batch =
            readBatch(connection, select, conversion, after, valueColumns);
        if (!batch.ok()) {
            return batch.status();
        }
        for (const Row& row : batch.value()) {
            after = row.key;
            if (row.left) {
                continue;
            }
            write.reset();
            int at = 1;
            for (const QString& value : row.values) {
                write.bind(at++, value);
            }
            if (stamped) {
                conversion.bindWriteTime(write, at++);
            }
            write.bind(at, row.key);
            if (DbStatus status = write.run(); !status.ok()) {
                return status;
            }
            conversion.told(row.uuid);
            if (conversion.rowDone && !conversion.rowDone()) {
                return {DbCode::Cancelled, {}};
            }
        }
        if (static_cast<qint64>(batch.value().size()) < kRowsPerBatch) {
            return {};
        }
    }
}

}  // namespace

DbStatus sealRecords(Connection& connection, const AccountConversion& conversion) {
    const std::vector<const ValueColumn*> recordColumns(kRecordColumns.begin(),
                                                        kRecordColumns.end());
    DbStatus status = convertRows(
        connection, conversion,
        QStringLiteral("SELECT Counter, Uuid, ShortName, UserName, Password, Description, Notes, "
                       "Category FROM Logins WHERE KeyUserName = ?1 AND Counter > ?2 "
                       "ORDER BY Counter LIMIT ?3"),
        QStringLiteral(
            "UPDATE Logins SET ShortName = ?1, UserName = ?2, Password = ?3, "
            "Description = ?4, Notes = ?5, Category = ?6, Modified = coalesce(?7, Modified) "
            "WHERE Counter = ?8"),
        recordColumns);
    if (!status.ok()) {
        return status;
    }
    // The kept versions and deleted records, bound to the record's identity as its values are.
    status = convertRows(
        connection, conversion,
        QStringLiteral("SELECT Id, Uuid, ShortName, UserName, Password, Description, Notes, "
                       "Category FROM LoginsHistory WHERE KeyUserName = ?1 AND Id > ?2 "
                       "ORDER BY Id LIMIT ?3"),
        QStringLiteral("UPDATE LoginsHistory SET ShortName = ?1, UserName = ?2, Password = ?3, "
                       "Description = ?4, Notes = ?5, Category = ?6 WHERE Id = ?7"),
        recordColumns, false);
    if (!status.ok()) {
        return status;
    }
    return convertRows(connection, conversion,
                       QStringLiteral("SELECT Id, Uuid, CategoryName FROM LoginsCategory WHERE "
                                      "UserName = ?1 AND Id > ?2 ORDER BY Id LIMIT ?3"),
                       QStringLiteral("UPDATE LoginsCategory SET CategoryName = ?1, "
                                      "Modified = coalesce(?2, Modified) "
                                      "WHERE Id = ?3"),
                       {&columns::kCategoryName});
}

}  // namespace ks
