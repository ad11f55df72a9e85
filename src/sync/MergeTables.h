#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include "storage/Database.h"
#include "storage/HistoryRows.h"

namespace ks::merging {

// The kinds of content a merge reports, one for each content table.
enum class MergeKind { Records, Categories, Entries, Pictures, Files };
inline constexpr int kMergeKinds = 5;

// A content table as the merge sees it: rows matched by their identity across databases, the
// owner column, the columns whose values a merge compares and copies (besides the identity
// and the time of the last write), a blob column copied in chunks, and the history that keeps
// a replaced version.
struct ContentTable {
    MergeKind kind;
    QLatin1StringView name;
    QLatin1StringView owner;
    QLatin1StringView key;
    QList<QLatin1StringView> columns;
    QList<QLatin1StringView> numbers;  // those of `columns` that hold integers
    QLatin1StringView blob;            // empty without one
    std::optional<HistoryOf> history;
    // The column holding the value that names the row for the user (sealed in a protected
    // account), and its position in `columns`.
    QLatin1StringView nameColumn;

    bool isNumber(QLatin1StringView column) const { return numbers.contains(column); }
    qsizetype nameIndex() const { return columns.indexOf(nameColumn); }
};

// The five content tables, in the order a merge works through them.
const QList<ContentTable>& contentTables();
const ContentTable& contentTable(MergeKind kind);

// One row of a content table as stored.
struct StoredRow {
    qint64 key = 0;  // Counter or Id in its own database
    QString owner;
    QByteArray uuid;
    qint64 modified = 0;
    QVariantList values;   // in the order of the table's columns
    qint64 blobSize = -1;  // the blob's length; -1 without a blob column or for NULL
};

// The row of that identity; nullopt when there is none.
Result<std::optional<StoredRow>> readRow(Connection& connection, const ContentTable& table,
                                         const QByteArray& uuid);

// Every row of `owner` with an identity, in the table's stored order.
DbStatus forEachRow(Connection& connection, const ContentTable& table, const QString& owner,
                    const std::function<DbStatus(const StoredRow&)>& visit);

// Two versions of one row hold the same: the same time of last write and the same values.
// Blobs count by their length (a blob changes with its row's time of last write).
bool sameVersion(const StoredRow& a, const StoredRow& b);

// Whether `a` wins over `b`: the later write, and for two writes of the same millisecond the
// greater stored bytes, column by column in the table's order; the same on every machine.
bool winsOver(const StoredRow& a, const StoredRow& b);

// The bytes a value is compared by.
QByteArray valueBytes(const QVariant& value);

// Binds a stored value (text or integer) as the database holds it.
void bindValue(Statement& statement, int index, const QVariant& value);

}  // namespace ks::merging
