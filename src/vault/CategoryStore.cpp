#include "vault/CategoryStore.h"

#include "storage/Schema.h"
#include "vault/VaultNames.h"

namespace ks {

namespace {

QString globalOwner() {
    return QString::fromUtf16(kGlobalOwner);
}

}  // namespace

Result<QStringList> visibleCategories(Connection& connection, const QString& owner) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT CategoryName FROM LoginsCategory WHERE UserName "
                                          "= ?1 OR UserName = ?2 ORDER BY Id"));
    query.bind(1, owner).bind(2, globalOwner());
    QStringList names;
    while (query.next()) {
        names.append(query.text(0));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return names;
}

Result<QStringList> visibleCategories(DatabaseAccess& database, const QString& owner) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return visibleCategories(connection.value(), owner);
}

DbStatus AddCategory(Connection& connection, const QString& owner, const QString& name) {
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO LoginsCategory (CategoryName, UserName) VALUES (?1, ?2)"));
    insert.bind(1, name).bind(2, owner);
    return insert.run();
}

DbStatus AddCategory(DatabaseAccess& database, const QString& owner, const QString& name) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    return AddCategory(connection.value(), owner, name);
}

Result<int> ReassignCategory(Connection& connection, const QString& owner, const QString& name) {
    Statement update = connection.prepare(
        QStringLiteral("UPDATE Logins SET Category = ?1 WHERE KeyUserName = ?2 AND Category = ?3"));
    update.bind(1, unfiledCategory()).bind(2, owner).bind(3, name);
    if (DbStatus status = update.run(); !status.ok()) {
        return status;
    }
    return connection.changes();
}

Result<CategoryDeletion> DeleteCategory(DatabaseAccess& database, const QString& owner,
                                        const QString& name) {
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
    Statement remove = connection.prepare(
        QStringLiteral("DELETE FROM LoginsCategory WHERE UserName = ?1 AND CategoryName = ?2"));
    remove.bind(1, owner).bind(2, name);
    if (DbStatus status = remove.run(); !status.ok()) {
        return status;
    }
    deletion.categoriesDeleted = connection.changes();
    Result<int> moved = ReassignCategory(connection, owner, name);
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
