#include "app/Accounts.h"

#include "crypto/FieldCipher.h"
#include "storage/Schema.h"

namespace ks {

Result<bool> VerifyUser(DatabaseAccess& database, UserCheck kind, const QString& cipherText,
                        const QString& userNameCipher) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query =
        kind == UserCheck::USERNAME
            ? connection->prepare(QStringLiteral("SELECT count(*) FROM Users WHERE UserName = ?1"))
            : connection->prepare(QStringLiteral(
                  "SELECT count(*) FROM Users WHERE UserName = ?1 AND Password = ?2"));
    if (kind == UserCheck::USERNAME) {
        query.bind(1, cipherText);
    } else {
        query.bind(1, userNameCipher).bind(2, cipherText);
    }
    const bool found = query.next() && query.integer(0) > 0;
    if (!query.status().ok()) {
        return query.status();
    }
    return found;
}

DbStatus CreateUser(DatabaseAccess& database, const QString& name, const QString& password) {
    const QString nameCipher = EncryptField(name);
    const QString passwordCipher = EncryptField(password);
    if (nameCipher.isEmpty() || passwordCipher.isEmpty()) {
        // The cipher has shown its own message; an account with an empty name is never made.
        return {DbCode::Failed, QStringLiteral("the account could not be encrypted")};
    }
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    // Asked again under the writer's lock: another running program may have made the same name
    // since the caller looked, and one name must never have two accounts.
    Statement existing = write.connection().prepare(
        QStringLiteral("SELECT count(*) FROM Users WHERE UserName = ?1"));
    existing.bind(1, nameCipher);
    const bool taken = existing.next() && existing.integer(0) > 0;
    if (!existing.status().ok()) {
        return existing.status();
    }
    if (taken) {
        return {DbCode::Failed, QStringLiteral("an account of this name was made meanwhile")};
    }
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Users (UserName, Password, Uuid, Modified) VALUES (?1, ?2, ?3, "
                       "?4)"));
    insert.bind(1, nameCipher).bind(2, passwordCipher).bindBlob(3, newRowUuid());
    insert.bind(4, rowWriteTime());
    if (DbStatus status = insert.run(); !status.ok()) {
        return status;
    }
    return write.commit();
}

}  // namespace ks
