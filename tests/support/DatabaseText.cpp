#include "DatabaseText.h"

#include <QtTest>

#include "TestEnvironment.h"
#include "crypto/PassPhrase.h"
#include "storage/Database.h"

namespace ks::test {

namespace {

// The forms a text may be written in.
QList<QByteArray> encodingsOf(const QString& text) {
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()),
                           text.size() * qsizetype(sizeof(char16_t)));
    return {text.toUtf8(), utf16};
}

bool holdsAny(const QByteArray& bytes, const QList<QByteArray>& needles) {
    return std::any_of(needles.cbegin(), needles.cend(),
                       [&bytes](const QByteArray& needle) { return bytes.contains(needle); });
}

QStringList namesOf(Connection& connection, const QString& sql, int column) {
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

}  // namespace

bool databaseHoldsText(const QString& databasePath, const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    const QList<QByteArray> needles = encodingsOf(text);
    for (const QString& side : {QStringLiteral("-wal"), QStringLiteral("-journal")}) {
        if (holdsAny(readBytes(databasePath + side), needles)) {
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
        namesOf(connection.value(),
                QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), 0);
    if (tables.isEmpty()) {
        QTest::qFail("the database holds no table", __FILE__, __LINE__);
    }
    for (const QString& table : tables) {
        const QStringList columnNames = namesOf(
            connection.value(), QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)), 1);
        for (const QString& column : columnNames) {
            Statement values = connection->prepare(QStringLiteral("SELECT CAST(%1 AS BLOB) FROM %2")
                                                       .arg(quoted(column), quoted(table)));
            while (values.next()) {
                if (holdsAny(values.blob(0), needles)) {
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

}  // namespace ks::test
