#include "storage/Tombstones.h"

#include "storage/Schema.h"

namespace ks {

TombstoneWriter::TombstoneWriter(Connection& connection, const QString& table)
    : insert_(connection.prepareKept(
          QStringLiteral("INSERT OR REPLACE INTO Tombstones (Uuid, TableName, Owner, Deleted) "
                         "SELECT Uuid, '%1', %2, ?2 FROM %1 WHERE %3 = ?1 AND %2 = ?3 AND "
                         "Uuid IS NOT NULL")
              .arg(table, ownerColumn(table), keyColumn(table)))) {
}

DbStatus TombstoneWriter::leaveFor(qint64 key, const QString& owner, qint64 deleted) {
    insert_.reset();
    insert_.bind(1, key).bind(2, deleted).bind(3, owner);
    return insert_.run();
}

DbStatus removeTombstone(Connection& connection, const QByteArray& uuid) {
    Statement remove = connection.prepare(QStringLiteral("DELETE FROM Tombstones WHERE Uuid = ?1"));
    remove.bindBlob(1, uuid);
    return remove.run();
}

}  // namespace ks
