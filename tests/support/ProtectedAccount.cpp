#include "ProtectedAccount.h"

#include <QtTest>

#include "app/Accounts.h"
#include "core/AccountKeys.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "storage/Schema.h"

namespace ks::test {

KdfParams cheapKdf() {
    KdfParams params = calibrateKdf(0, 8192);
    params.opsLimit = 1;
    return params;
}

Account protectedAccount(DatabaseAccess& database, const QString& name, const QString& passPhrase,
                         const QString& password) {
    const QString owner = EncryptField(name);
    const Result<bool> known = VerifyUser(database, UserCheck::USERNAME, owner, owner);
    if (!known.ok() || (!known.value() && !CreateUser(database, name, password).ok())) {
        QTest::qFail("the account could not be made", __FILE__, __LINE__);
        return Account(owner);
    }
    WriteOperation write(database);
    Statement uuid =
        write.connection().prepare(QStringLiteral("SELECT Uuid FROM Users WHERE UserName = ?1"));
    uuid.bind(1, owner);
    const QByteArray userUuid = uuid.next() ? uuid.blob(0) : QByteArray();
    std::optional<NewAccountKey> made =
        createAccountKey(passPhrase, cheapKdf(), accountKeyBinding(owner.toUtf8(), userUuid));
    if (userUuid.isEmpty() || !made ||
        !writeAccountKey(write.connection(), owner, made->record).ok() || !write.commit().ok()) {
        QTest::qFail("the account could not be protected", __FILE__, __LINE__);
        return Account(owner);
    }
    return Account(owner, std::make_shared<const SecretBytes>(std::move(made->dataKey)));
}

bool addNumberedRecords(DatabaseAccess& database, const Account& account, int count) {
    WriteOperation write(database);
    Statement insert = write.connection().prepare(
        QStringLiteral("INSERT INTO Logins (KeyUserName, ShortName, Category, Uuid, Modified) "
                       "VALUES (?1, ?2, ?3, ?4, ?5)"));
    for (int i = 0; i < count; ++i) {
        const QByteArray uuid = newRowUuid();
        const QString category = i % 3 == 0 ? QStringLiteral("Work") : QStringLiteral("Home");
        insert.reset();
        insert.bind(1, account.owner).bindBlob(4, uuid).bind(5, rowWriteTime());
        insert.bind(
            2, storedValue(account, columns::kShortName, uuid, QStringLiteral("Record %1").arg(i))
                   .value_or(QString()));
        insert.bind(3,
                    storedValue(account, columns::kCategory, uuid, category).value_or(QString()));
        if (!insert.run().ok()) {
            return false;
        }
    }
    return write.commit().ok();
}

}  // namespace ks::test
