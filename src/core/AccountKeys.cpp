#include "core/AccountKeys.h"

#include "storage/Schema.h"

namespace ks {

QByteArray StoredAccountKey::binding(const QString& owner) const {
    return accountKeyBinding(owner.toUtf8(), userUuid);
}

Result<std::optional<StoredAccountKey>> readAccountKey(Connection& connection,
                                                       const QString& owner) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT Uuid, KeySalt, KeyOps, KeyMem, KeyWrapped FROM Users WHERE "
                       "UserName = ?1 AND KeyWrapped IS NOT NULL"));
    query.bind(1, owner);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return std::optional<StoredAccountKey>();
    }
    StoredAccountKey key;
    key.userUuid = query.blob(0);
    key.record.kdf.salt = query.blob(1);
    key.record.kdf.opsLimit = static_cast<quint64>(query.integer(2));
    key.record.kdf.memLimit = static_cast<quint64>(query.integer(3));
    key.record.wrappedKey = query.blob(4);
    return std::optional<StoredAccountKey>(std::move(key));
}

DbStatus writeAccountKey(Connection& connection, const QString& owner,
                         const AccountKeyRecord& record) {
    Statement update = connection.prepare(
        QStringLiteral("UPDATE Users SET Password = '', KeySalt = ?1, KeyOps = ?2, KeyMem = ?3, "
                       "KeyWrapped = ?4, Modified = ?6 WHERE UserName = ?5"));
    update.bindBlob(1, record.kdf.salt)
        .bind(2, static_cast<qint64>(record.kdf.opsLimit))
        .bind(3, static_cast<qint64>(record.kdf.memLimit))
        .bindBlob(4, record.wrappedKey)
        .bind(5, owner)
        .bind(6, rowWriteTime());
    if (DbStatus status = update.run(); !status.ok()) {
        return status;
    }
    if (connection.changes() != 1) {
        return {DbCode::Failed, QStringLiteral("the account is not in the database")};
    }
    return {};
}

}  // namespace ks
