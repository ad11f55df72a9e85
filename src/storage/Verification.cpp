#include <QSet>

#include "storage/Database.h"
#include "storage/Schema.h"

namespace ks {

DbStatus verifyDatabase(Connection& connection) {
    // A wrong key or a foreign file opens without complaint; the first read tells.
    Statement query =
        connection.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    QSet<QString> present;
    while (query.next()) {
        present.insert(query.text(0).toLower());
    }
    if (!query.status().ok()) {
        return query.status();
    }
    for (const QString& table : schemaTableNames()) {
        if (!present.contains(table.toLower())) {
            return {DbCode::MissingTables, QStringLiteral("no table %1").arg(table)};
        }
    }
    return {};
}

}  // namespace ks
