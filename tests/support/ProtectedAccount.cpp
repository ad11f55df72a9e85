#include "ProtectedAccount.h"

#include <QtTest>

#include "app/Accounts.h"
#include "core/AccountKeys.h"
#include "crypto/FieldCipher.h"

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

}  // namespace ks::test
