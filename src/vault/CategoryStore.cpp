#include "vault/CategoryStore.h"

#include "core/AccountValues.h"
#include "storage/HistoryRows.h"
#include "storage/Schema.h"
#include "storage/Tombstones.h"
#include "vault/VaultAccount.h"
#include "vault/VaultNames.h"

namespace ks {

namespace {

QString globalOwner() {
    return QString::fromUtf16(kGlobalOwner);
}

// The rows (Id, or Counter) of a protected account whose sealed value opens to `name`.
struct SealedMatch {
    qint64 key = 0;
    QByteArray uuid;
};

Result<QList<SealedMatch>> sealedMatches(Statement& query, const Account& account,
                                         const ValueColumn& column, const QString& name) {
    QList<SealedMatch> matches;
    while (query.next()) {
        const QByteArray uuid = query.blob(2);
        if (shownValue(account, column, uuid, query.text(1)) == name) {
            matches.append({query.integer(0), uuid});
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return matches;
}

// Removes the account's own category rows found, each leaving its tombstone; how many.
Result<int> removeCategoryRows(Connection& connection, const Account& account,
                               const QList<SealedMatch>& rows) {
    Statement remove =
        connection.prepare(QStringLiteral("DELETE FROM LoginsCategory WHERE Id = ?1"));
    TombstoneWriter tombstones(connection, QStringLiteral("LoginsCategory"));
    const qint64 now = rowWriteTime();
    for (const SealedMatch& row : rows) {
        if (DbStatus status = tombstones.leaveFor(row.key, account.owner, now); !status.ok()) {
            return status;
        }
        remove.reset();
        remove.bind(1, row.key);
        if (DbStatus status = remove.run(); !status.ok()) {
            return status;
        }
    }
    return static_cast<int>(rows.size());
}

// Removes a protected account's own categories named `name`; how many.
Result<int> removeSealedCategories(Connection& connection, const Account& account,
                                   const QString& name) {
    Statement query = connection.prepare(QStringLiteral(
        "SELECT Id, CategoryName, Uuid FROM LoginsCategory WHERE UserName = ?1 ORDER BY Id"));
    query.bind(1, account.owner);
    const Result<QList<SealedMatch>> found =
        sealedMatches(query, account, columns::kCategoryName, name);
    if (!found.ok()) {
        return found.status();
    }
    return removeCategoryRows(connection, account, found.value());
}

Result<int> removeCategories(Connection& connection, const Account& account, const QString& name) {
    if (account.isProtected()) {
        return removeSealedCategories(connection, account, name);
    }
    Statement query = connection.prepare(QStringLiteral(
        "SELECT Id FROM LoginsCategory WHERE UserName = ?1 AND CategoryName = ?2 ORDER BY Id"));
    query.bind(1, account.owner).bind(2, name);
    QList<SealedMatch> found;
    while (query.next()) {
        found.append(SealedMatch{query.integer(0), QByteArray()});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return removeCategoryRows(connection, account, found);
}

// The account's records filed under `name` (exact letter case): a protected account's
// categories are compared opened.
Result<QList<SealedMatch>> recordsFiledUnder(Connection& connection, const Account& account,
                                             const QString& name) {
    if (account.isProtected()) {
        Statement query = connection.prepare(
            QStringLiteral("SELECT Counter, Category, Uuid FROM Logins WHERE KeyUserName = ?1 "
                           "ORDER BY Counter"));
        query.bind(1, account.owner);
        return sealedMatches(query, account, columns::kCategory, name);
    }
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, Uuid FROM Logins WHERE KeyUserName = ?1 AND Category = ?2 "
                       "ORDER BY Counter"));
    query.bind(1, account.owner).bind(2, name);
    QList<SealedMatch> found;
    while (query.next()) {
        found.append(SealedMatch{query.integer(0), query.blob(1)});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return found;
}

}  // namespace

DbStatus notSealedStatus() {
    return {DbCode::Failed, QStringLiteral("a value could not be encrypted")};
}

Result<QStringList> visibleCategories(Connection& connection, const Account& account) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT CategoryName, UserName, Uuid FROM LoginsCategory WHERE UserName "
                       "= ?1 OR UserName = ?2 ORDER BY Id"));
    query.bind(1, account.owner).bind(2, globalOwner());
    QStringList names;
    while (query.next()) {
        // Only the account's own rows are sealed.
        const bool own = account.isProtected() && query.text(1) == account.owner;
        names.append(
            own ? shownOrDamaged(account, columns::kCategoryName, query.blob(2), query.text(0))
                : query.text(0));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return names;
}

Result<QStringList> visibleCategories(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return visibleCategories(connection.value(), account);
}

DbStatus AddCategory(Connection& connection, const Account& account, const QString& name) {
    const QByteArray uuid = newRowUuid();
    const std::optional<QString> stored = storedValue(account, columns::kCategoryName, uuid, name);
    if (!stored) {
        return notSealedStatus();
    }
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO LoginsCategory (CategoryName, UserName, Uuid, Modified) "
                       "VALUES (?1, ?2, ?3, ?4)"));
    insert.bind(1, *stored).bind(2, account.owner).bindBlob(3, uuid).bind(4, rowWriteTime());
    return insert.run();
}

DbStatus AddCategory(DatabaseAccess& database, const Account& account, const QString& name) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return AddCategory(connection.value(), account, name);
}

Result<int> ReassignCategory(Connection& connection, const Account& account, const QString& name,
                             int versionsKept) {
    if (name == unfiledCategory()) {
        return 0;  // its records are unfiled already: nothing changes
    }
    const Result<QList<SealedMatch>> found = recordsFiledUnder(connection, account, name);
    if (!found.ok()) {
        return found.status();
    }
    const qint64 now = rowWriteTime();
    Statement update = connection.prepare(
        QStringLiteral("UPDATE Logins SET Category = ?1, Modified = ?2 WHERE Counter = ?3"));
    for (const SealedMatch& row : found.value()) {
        const std::optional<QString> unfiled =
            storedValue(account, columns::kCategory, row.uuid, unfiledCategory());
        if (!unfiled) {
            return notSealedStatus();
        }
        // The record as it was filed is kept as a save keeps what it replaces.
        if (DbStatus status = keepReplacedVersion(connection, HistoryOf::Records, row.key,
                                                  account.owner, row.uuid, now, versionsKept);
            !status.ok()) {
            return status;
        }
        update.reset();
        update.bind(1, *unfiled).bind(2, now).bind(3, row.key);
        if (DbStatus status = update.run(); !status.ok()) {
            return status;
        }
    }
    return static_cast<int>(found.value().size());
}

Result<CategoryDeletion> DeleteCategory(DatabaseAccess& database, const Account& account,
                                        const QString& name, const HistorySettings& history) {
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    CategoryDeletion deletion;
    // Shared rows are recognised however their owner word is spaced or spelled.
    Statement shared =
        connection.prepare(QStringLiteral("SELECT count(*) FROM LoginsCategory WHERE "
                                          "upper(trim(UserName)) = ?1 AND CategoryName = ?2"));
    shared.bind(1, globalOwner()).bind(2, name);
    if (!shared.next()) {
        return shared.status();
    }
    if (shared.integer(0) > 0) {
        deletion.shared = true;
        return deletion;
    }
    const Result<int> removed = removeCategories(connection, account, name);
    if (!removed.ok()) {
        return removed.status();
    }
    deletion.categoriesDeleted = removed.value();
    Result<int> moved = ReassignCategory(connection, account, name, history.versionsKept);
    if (!moved.ok()) {
        return moved.status();
    }
    deletion.recordsReassigned = moved.value();
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return deletion;
}

}  // namespace ks
