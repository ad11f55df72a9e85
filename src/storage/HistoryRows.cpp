#include "storage/HistoryRows.h"

#include <QList>
#include <functional>

namespace ks {

namespace {

const QString& historyTable(HistoryOf table) {
    static const QString records = QStringLiteral("LoginsHistory");
    static const QString journal = QStringLiteral("JournalsHistory");
    return table == HistoryOf::Records ? records : journal;
}

// The identities of the rows a query of one blob column finds.
Result<QList<QByteArray>> identities(Statement& query) {
    QList<QByteArray> found;
    while (query.next()) {
        found.append(query.blob(0));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return found;
}

DbStatus forEachIdentity(Statement& query, const std::function<DbStatus(const QByteArray&)>& run) {
    const Result<QList<QByteArray>> found = identities(query);
    if (!found.ok()) {
        return found.status();
    }
    for (const QByteArray& uuid : found.value()) {
        if (DbStatus status = run(uuid); !status.ok()) {
            return status;
        }
    }
    return {};
}

DbStatus runWithOwner(Connection& connection, const QString& sql, const QString& owner) {
    Statement statement = connection.prepare(sql);
    statement.bind(1, owner);
    return statement.run();
}

}  // namespace

DbStatus keepVersion(Connection& connection, HistoryOf table, qint64 key, const QString& owner,
                     qint64 replaced, bool deleted) {
    // OR FAIL: one row at the most, so failing leaves what aborting would, and the engine keeps
    // no journal of the statement's own, each page of which it would encrypt.
    Statement copy = connection.prepareKept(
        table == HistoryOf::Records
            ? QStringLiteral(
                  "INSERT OR FAIL INTO LoginsHistory (Uuid, KeyUserName, ShortName, UserName, "
                  "Password, Description, Notes, Category, Modified, Replaced, Deleted) SELECT "
                  "Uuid, KeyUserName, ShortName, UserName, Password, Description, Notes, "
                  "Category, Modified, ?2, ?4 FROM Logins WHERE Counter = ?1 AND KeyUserName = "
                  "?3 AND Uuid IS NOT NULL")
            : QStringLiteral("INSERT OR FAIL INTO JournalsHistory (Uuid, UserName, Date, Journal, "
                             "DateCreated, LastModified, Modified, Replaced) SELECT Uuid, "
                             "UserName, Date, Journal, DateCreated, LastModified, Modified, ?2 "
                             "FROM Journals WHERE Id = ?1 AND UserName = ?3 AND Uuid IS NOT NULL"));
    copy.bind(1, key).bind(2, replaced).bind(3, owner);
    if (table == HistoryOf::Records) {
        copy.bind(4, deleted ? 1 : 0);
    }
    return copy.run();
}

DbStatus keepReplacedVersion(Connection& connection, HistoryOf table, qint64 key,
                             const QString& owner, const QByteArray& uuid, qint64 replaced,
                             int kept) {
    if (uuid.isEmpty()) {
        return {};  // a row of an older build, without an identity until the next open
    }
    if (kept > 0) {
        if (DbStatus status = keepVersion(connection, table, key, owner, replaced); !status.ok()) {
            return status;
        }
    }
    return trimVersions(connection, table, uuid, kept);
}

DbStatus trimVersions(Connection& connection, HistoryOf table, const QByteArray& uuid, int kept) {
    // Deleted is 0 for every version of a journal entry: the journal never deletes.
    const QString versions = table == HistoryOf::Records
                                 ? QStringLiteral("Uuid = ?1 AND Deleted = 0")
                                 : QStringLiteral("Uuid = ?1");
    Statement trim = connection.prepareKept(
        QStringLiteral("DELETE FROM %1 WHERE %2 AND Id NOT IN (SELECT Id FROM %1 WHERE %2 "
                       "ORDER BY Replaced DESC, Id DESC LIMIT ?2)")
            .arg(historyTable(table), versions));
    trim.bindBlob(1, uuid).bind(2, qMax(kept, 0));
    return trim.run();
}

DbStatus trimOwnerVersions(Connection& connection, const QString& owner, int kept) {
    if (kept <= 0) {
        if (DbStatus status = runWithOwner(
                connection,
                QStringLiteral("DELETE FROM LoginsHistory WHERE KeyUserName = ?1 AND Deleted = 0"),
                owner);
            !status.ok()) {
            return status;
        }
        return runWithOwner(
            connection, QStringLiteral("DELETE FROM JournalsHistory WHERE UserName = ?1"), owner);
    }
    for (const HistoryOf table : {HistoryOf::Records, HistoryOf::Journal}) {
        Statement owned = connection.prepare(
            table == HistoryOf::Records
                ? QStringLiteral("SELECT DISTINCT Uuid FROM LoginsHistory WHERE KeyUserName = ?1")
                : QStringLiteral("SELECT DISTINCT Uuid FROM JournalsHistory WHERE UserName = ?1"));
        owned.bind(1, owner);
        if (DbStatus status = forEachIdentity(owned,
                                              [&](const QByteArray& uuid) {
                                                  return trimVersions(connection, table, uuid,
                                                                      kept);
                                              });
            !status.ok()) {
            return status;
        }
    }
    return {};
}

DbStatus ageOutDeletedRecords(Connection& connection, const QString& owner, qint64 before) {
    Statement old = connection.prepare(
        QStringLiteral("SELECT Uuid FROM LoginsHistory WHERE KeyUserName = ?1 AND Deleted = 1 "
                       "AND Replaced < ?2"));
    old.bind(1, owner).bind(2, before);
    Statement forget =
        connection.prepare(QStringLiteral("DELETE FROM LoginsHistory WHERE Uuid = ?1"));
    return forEachIdentity(old, [&](const QByteArray& uuid) {
        forget.reset();
        forget.bindBlob(1, uuid);
        return forget.run();
    });
}

DbStatus clearOwnerHistory(Connection& connection, const QString& owner) {
    if (DbStatus status = runWithOwner(
            connection, QStringLiteral("DELETE FROM LoginsHistory WHERE KeyUserName = ?1"), owner);
        !status.ok()) {
        return status;
    }
    return runWithOwner(connection,
                        QStringLiteral("DELETE FROM JournalsHistory WHERE UserName = ?1"), owner);
}

}  // namespace ks
