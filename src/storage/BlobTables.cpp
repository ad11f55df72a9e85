#include "storage/BlobTables.h"

namespace ks {

namespace {

// The tables that end in a blob, as they are once every column was added: the blob last.
struct BlobTable {
    const char* name;
    const char* blob;
    const char* columns;  // in their order
    const char* definition;
};
const BlobTable kBlobTables[] = {
    {"Images", "Image", "Counter, ImageName, UserName, Uuid, Modified, Image",
     "CREATE TABLE Images ("
     " Counter INTEGER PRIMARY KEY AUTOINCREMENT,"
     " ImageName TEXT NOT NULL DEFAULT '',"
     " UserName TEXT NOT NULL DEFAULT '',"
     " Uuid BLOB,"
     " Modified INTEGER NOT NULL DEFAULT 0,"
     " Image BLOB)"},
    {"Files", "File",
     "Counter, FileName, UserName, Size, CompressedSize, LastModified, Uuid, Modified, File",
     "CREATE TABLE Files ("
     " Counter INTEGER PRIMARY KEY AUTOINCREMENT,"
     " FileName TEXT NOT NULL DEFAULT '',"
     " UserName TEXT NOT NULL DEFAULT '',"
     " Size INTEGER NOT NULL DEFAULT 0,"
     " CompressedSize INTEGER NOT NULL DEFAULT 0,"
     " LastModified TEXT NOT NULL DEFAULT '',"
     " Uuid BLOB,"
     " Modified INTEGER NOT NULL DEFAULT 0,"
     " File BLOB)"},
};

Result<bool> blobIsLast(Connection& connection, const BlobTable& table) {
    Statement info =
        connection.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table.name)));
    QString last;
    while (info.next()) {
        last = info.text(1);
    }
    if (!info.status().ok()) {
        return info.status();
    }
    return last.compare(QLatin1String(table.blob), Qt::CaseInsensitive) == 0;
}

// The table made again with its columns in order, rows, row keys and the next row key kept.
// Its indexes go with the old table; the caller makes them again.
DbStatus rebuild(Connection& connection, const BlobTable& table) {
    const QString name = QLatin1String(table.name);
    const QString columns = QLatin1String(table.columns);
    qint64 next = 0;
    {
        Statement sequence =
            connection.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
        sequence.bind(1, name);
        next = sequence.next() ? sequence.integer(0) : 0;
        if (!sequence.status().ok()) {
            return sequence.status();
        }
    }
    // Made under its own name, so that its definition reads as a fresh database's does.
    const QStringList steps = {
        QStringLiteral("ALTER TABLE %1 RENAME TO %1Former").arg(name),
        QLatin1String(table.definition),
        QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %1Former").arg(name, columns),
        QStringLiteral("DROP TABLE %1Former").arg(name),
        QStringLiteral("DELETE FROM sqlite_sequence WHERE name = '%1'").arg(name),
    };
    for (const QString& step : steps) {
        if (DbStatus status = connection.exec(step); !status.ok()) {
            return status;
        }
    }
    // The row keys of removed rows are never given again.
    Statement keep =
        connection.prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?1, "
                                          "max(?2, (SELECT coalesce(max(Counter), "
                                          "0) FROM %1)))")
                               .arg(name));
    keep.bind(1, name).bind(2, next);
    return keep.run();
}

}  // namespace

DbStatus keepBlobsLast(Connection& connection) {
    for (const BlobTable& table : kBlobTables) {
        const Result<bool> last = blobIsLast(connection, table);
        if (!last.ok()) {
            return last.status();
        }
        if (!last.value()) {
            if (DbStatus status = rebuild(connection, table); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

}  // namespace ks
