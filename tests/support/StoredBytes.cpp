#include "StoredBytes.h"

#include <QtTest>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"

namespace ks::test {

namespace {

QStringList firstColumn(Connection& connection, const QString& sql, int column) {
    QStringList names;
    Statement query = connection.prepare(sql);
    while (query.next()) {
        names << query.text(column);
    }
    return names;
}

QString quoted(QString name) {
    return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

bool holdsAny(const QString& databasePath, const QList<QByteArray>& needles) {
    const auto found = [&needles](const QByteArray& bytes) {
        return std::any_of(needles.cbegin(), needles.cend(),
                           [&bytes](const QByteArray& needle) { return bytes.contains(needle); });
    };
    for (const QString& side : {QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        if (found(readBytes(databasePath + side))) {
            return true;
        }
    }
    Result<Connection> connection =
        Connection::openFile(databasePath, PassPhrase().toUtf8(), false, true);
    if (!connection.ok()) {
        QTest::qFail("the database could not be opened", __FILE__, __LINE__);
        return false;
    }
    const QStringList tables =
        firstColumn(connection.value(),
                    QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), 0);
    if (tables.isEmpty()) {
        QTest::qFail("the database holds no table", __FILE__, __LINE__);
    }
    for (const QString& table : tables) {
        for (const QString& column :
             firstColumn(connection.value(),
                         QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)), 1)) {
            Statement values = connection->prepare(QStringLiteral("SELECT CAST(%1 AS BLOB) FROM %2")
                                                       .arg(quoted(column), quoted(table)));
            while (values.next()) {
                if (found(values.blob(0))) {
                    return true;
                }
            }
            if (!values.status().ok()) {
                QTest::qFail("a table could not be read", __FILE__, __LINE__);
            }
        }
    }
    return false;
}

}  // namespace

bool databaseHoldsBytes(const QString& databasePath, const QByteArray& bytes) {
    return !bytes.isEmpty() && holdsAny(databasePath, {bytes});
}

bool databaseHoldsText(const QString& databasePath, const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()),
                           text.size() * qsizetype(sizeof(char16_t)));
    return holdsAny(databasePath, {text.toUtf8(), utf16});
}

}  // namespace ks::test
