#include "options/AccountProtection.h"

#include "core/AccountKeys.h"
#include "core/LoginRules.h"
#include "crypto/FieldCipher.h"
#include "options/OptionsMessages.h"
#include "storage/PageCache.h"

namespace ks {

namespace {

// The page cache while an account is converted (KiB).
constexpr int kConversionCacheKib = 8192;

qsizetype characters(const QString& text) {
    return text.toUcs4().size();
}

ProtectionOutcome failure(ProtectionOutcome::Result result, DbStatus status = {}) {
    ProtectionOutcome outcome;
    outcome.result = result;
    outcome.status = std::move(status);
    return outcome;
}

// Overwrites in the file what the connection's writes free while it lives: the shared form of
// a value must not stay readable in a page's free space.
struct SecureDeletion {
    explicit SecureDeletion(Connection& on)
        : connection(on), status(on.exec(QStringLiteral("PRAGMA secure_delete = ON"))) {}
    ~SecureDeletion() { connection.exec(QStringLiteral("PRAGMA secure_delete = OFF")); }
    SecureDeletion(const SecureDeletion&) = delete;
    SecureDeletion& operator=(const SecureDeletion&) = delete;

    Connection& connection;
    DbStatus status;
};

// The identity of the account's Users row, which its wrapped key is bound to.
Result<QByteArray> userIdentity(Connection& connection, const QString& owner) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT Uuid FROM Users WHERE UserName = ?1"));
    query.bind(1, owner);
    if (!query.next()) {
        return query.status().ok()
                   ? DbStatus{DbCode::Failed, QStringLiteral("the account is not in the database")}
                   : query.status();
    }
    return query.blob(0);
}

}  // namespace

PassPhraseRefusal validateNewPassPhrase(const QString& current, const QString& passPhrase,
                                        const QString& repetition) {
    if (current.trimmed().isEmpty()) {
        return PassPhraseRefusal::CurrentMissing;
    }
    if (passPhrase != repetition) {
        return PassPhraseRefusal::NotIdentical;
    }
    if (characters(passPhrase) < kPassPhraseShortest) {
        return PassPhraseRefusal::TooShort;
    }
    if (characters(passPhrase) > kPassPhraseLongest) {
        return PassPhraseRefusal::TooLong;
    }
    // The login window asks for more than kLoginShortest characters besides spaces.
    if (passPhrase.trimmed().size() <= kLoginShortest) {
        return PassPhraseRefusal::OnlySpaces;
    }
    return PassPhraseRefusal::None;
}

QString passPhraseRefusalMessage(PassPhraseRefusal refusal) {
    switch (refusal) {
        case PassPhraseRefusal::CurrentMissing:
            return currentPasswordMissingMessage();
        case PassPhraseRefusal::NotIdentical:
            return passPhrasesDifferMessage();
        case PassPhraseRefusal::TooShort:
        case PassPhraseRefusal::TooLong:
        case PassPhraseRefusal::OnlySpaces:
            return passPhraseLengthMessage();
        case PassPhraseRefusal::None:
            break;
    }
    return {};
}

Result<qint64> countAccountRows(DatabaseAccess& database, const QString& owner) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement count = connection.value().prepare(
        QStringLiteral("SELECT (SELECT count(*) FROM Logins WHERE KeyUserName = ?1)"
                       " + (SELECT count(*) FROM LoginsCategory WHERE UserName = ?1)"
                       " + (SELECT count(*) FROM Journals WHERE UserName = ?1)"
                       " + (SELECT count(*) FROM Images WHERE UserName = ?1)"
                       " + (SELECT count(*) FROM Files WHERE UserName = ?1)"
                       " + (SELECT count(*) FROM LoginsHistory WHERE KeyUserName = ?1)"
                       " + (SELECT count(*) FROM JournalsHistory WHERE UserName = ?1)"));
    count.bind(1, owner);
    if (!count.next()) {
        return count.status();
    }
    return count.integer(0);
}

ProtectionOutcome protectAccount(DatabaseAccess& database, const QString& owner,
                                 const QString& password, const QString& passPhrase,
                                 const KdfParams& kdf, const QList<ConversionPart>& parts,
                                 const std::function<bool()>& rowDone) {
    using R = ProtectionOutcome::Result;
    WriteOperation write(database);
    if (!write.ok()) {
        return failure(R::Failed, write.status());
    }
    Connection& connection = write.connection();
    // What the conversion replaces is overwritten in the file, not only let go. A larger page
    // cache while it runs lets the pages a blob frees and the next one takes meet in memory
    // rather than on disk (protecting an account with 450 MB of pictures and files: 14.3 s ->
    // 11.5 s).
    const SecureDeletion deletion(connection);
    if (!deletion.status.ok()) {
        return failure(R::Failed, deletion.status);
    }
    const LargerPageCache cache(connection, kConversionCacheKib);
    if (!cache.status().ok()) {
        return failure(R::Failed, cache.status());
    }
    // Only the account's own password lets it be protected.
    Statement check = connection.prepare(QStringLiteral(
        "SELECT count(*) FROM Users WHERE UserName = ?1 AND Password = ?2 AND KeyWrapped IS NULL"));
    check.bind(1, owner).bind(2, EncryptField(password));
    if (!check.next()) {
        return failure(R::Failed, check.status());
    }
    if (check.integer(0) != 1) {
        return failure(R::PasswordIncorrect);
    }
    const Result<QByteArray> identity = userIdentity(connection, owner);
    if (!identity.ok()) {
        return failure(R::Failed, identity.status());
    }
    std::optional<NewAccountKey> made =
        createAccountKey(passPhrase, kdf, accountKeyBinding(owner.toUtf8(), identity.value()));
    if (!made) {
        return failure(R::Failed, {DbCode::Failed, QStringLiteral("the key could not be made")});
    }
    const Account sealed(owner, std::make_shared<const SecretBytes>(std::move(made->dataKey)));
    const AccountConversion conversion{Account(owner), sealed, rowDone};
    for (const ConversionPart& part : parts) {
        if (DbStatus status = part(connection, conversion); !status.ok()) {
            return failure(R::Failed, status);
        }
    }
    if (DbStatus status = writeAccountKey(connection, owner, made->record); !status.ok()) {
        return failure(R::Failed, status);
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return failure(R::Failed, status);
    }
    ProtectionOutcome outcome;
    outcome.result = R::Protected;
    outcome.account = sealed;
    return outcome;
}

namespace {

// Whether a row or kept version of the account holds a name that is not in the sealed form.
Result<bool> holdsShared(Connection& connection, const QString& owner) {
    struct Named {
        const char* table;
        const char* owner;
        const char* name;
    };
    static constexpr Named kNamed[] = {{"Logins", "KeyUserName", "ShortName"},
                                       {"LoginsHistory", "KeyUserName", "ShortName"},
                                       {"LoginsCategory", "UserName", "CategoryName"},
                                       {"Journals", "UserName", "Journal"},
                                       {"JournalsHistory", "UserName", "Journal"},
                                       {"Images", "UserName", "ImageName"},
                                       {"Files", "UserName", "FileName"}};
    QStringList terms;
    for (const Named& named : kNamed) {
        terms << QStringLiteral(
                     "EXISTS (SELECT 1 FROM %1 WHERE %2 = ?1 AND substr(%3, 1, 4) <> ?2)")
                     .arg(QLatin1String(named.table), QLatin1String(named.owner),
                          QLatin1String(named.name));
    }
    Statement query =
        connection.prepare(QStringLiteral("SELECT ") + terms.join(QStringLiteral(" OR ")));
    query.bind(1, owner).bind(2, QString(kSealedTextPrefix));
    if (!query.next()) {
        return query.status();
    }
    return query.integer(0) != 0;
}

}  // namespace

Result<int> finishProtection(DatabaseAccess& database, const Account& account,
                             const QList<ConversionPart>& parts) {
    if (!account.isProtected()) {
        return 0;
    }
    {
        Result<Connection> reading = database.open();
        if (!reading.ok()) {
            return reading.status();
        }
        const Result<bool> shared = holdsShared(reading.value(), account.owner);
        if (!shared.ok() || !shared.value()) {
            return shared.ok() ? Result<int>(0) : Result<int>(shared.status());
        }
    }
    WriteOperation write(database);
    if (!write.ok()) {
        return write.status();
    }
    Connection& connection = write.connection();
    const SecureDeletion deletion(connection);
    if (!deletion.status.ok()) {
        return deletion.status;
    }
    QList<QByteArray> sealed;
    AccountConversion conversion{Account(account.owner), account, nullptr};
    conversion.onlyShared = true;
    conversion.rowSealed = [&sealed](const QByteArray& uuid) { sealed.append(uuid); };
    for (const ConversionPart& part : parts) {
        if (DbStatus status = part(connection, conversion); !status.ok()) {
            return status;
        }
    }
    Statement unseen = connection.prepare(QStringLiteral("DELETE FROM SyncSeen WHERE Uuid = ?1"));
    for (const QByteArray& uuid : sealed) {
        unseen.reset();
        if (DbStatus status = unseen.bindBlob(1, uuid).run(); !status.ok()) {
            return status;
        }
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return status;
    }
    return int(sealed.size());
}

ProtectionOutcome changePassPhrase(DatabaseAccess& database, const QString& owner,
                                   const QString& current, const QString& passPhrase) {
    using R = ProtectionOutcome::Result;
    WriteOperation write(database);
    if (!write.ok()) {
        return failure(R::Failed, write.status());
    }
    const Result<std::optional<StoredAccountKey>> stored =
        readAccountKey(write.connection(), owner);
    if (!stored.ok() || !stored.value()) {
        return failure(R::Failed, stored.ok() ? DbStatus{DbCode::Failed,
                                                         QStringLiteral("the account has no key")}
                                              : stored.status());
    }
    const QByteArray binding = stored.value()->binding(owner);
    SecretBytes dataKey = unlockAccountKey(current, stored.value()->record, binding);
    if (dataKey.empty()) {
        return failure(R::PasswordIncorrect);
    }
    const std::optional<AccountKeyRecord> rewrapped =
        rewrapAccountKey(dataKey, passPhrase, withNewSalt(stored.value()->record.kdf), binding);
    if (!rewrapped) {
        return failure(R::Failed, {DbCode::Failed, QStringLiteral("the key could not be made")});
    }
    if (DbStatus status = writeAccountKey(write.connection(), owner, *rewrapped); !status.ok()) {
        return failure(R::Failed, status);
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return failure(R::Failed, status);
    }
    ProtectionOutcome outcome;
    outcome.result = R::Protected;
    outcome.account = Account(owner, std::make_shared<const SecretBytes>(std::move(dataKey)));
    return outcome;
}

}  // namespace ks
