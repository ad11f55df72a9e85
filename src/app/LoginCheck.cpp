#include "app/LoginCheck.h"

#include "app/Accounts.h"
#include "core/AccountKeys.h"
#include "crypto/FieldCipher.h"

namespace ks {

LoginRefusal checkLoginLengths(const QString& name, const QString& password) {
    if (name.trimmed().size() <= kLoginShortest) {
        return LoginRefusal::NameTooShort;
    }
    if (password.trimmed().size() <= kLoginShortest) {
        return LoginRefusal::PasswordTooShort;
    }
    return LoginRefusal::None;
}

QString loginRefusalMessage(LoginRefusal refusal) {
    switch (refusal) {
        case LoginRefusal::NameTooShort:
            return QStringLiteral("The UserName must be more than 3 characters in length");
        case LoginRefusal::PasswordTooShort:
            return QStringLiteral("The Password must be more than 3 characters in length");
        case LoginRefusal::None:
            break;
    }
    return {};
}

QString invalidLoginMessage() {
    return QStringLiteral("Invalid user/password combo.  Please try again.");
}

Result<LoginMatch> matchLogin(DatabaseAccess& database, const QString& userNameCipher,
                              const QString& passwordCipher) {
    const Result<bool> known =
        VerifyUser(database, UserCheck::USERNAME, userNameCipher, userNameCipher);
    if (!known.ok()) {
        return known.status();
    }
    if (!known.value()) {
        return LoginMatch::UnknownName;
    }
    const Result<bool> matches =
        VerifyUser(database, UserCheck::PASSWORD, passwordCipher, userNameCipher);
    if (!matches.ok()) {
        return matches.status();
    }
    return matches.value() ? LoginMatch::Matches : LoginMatch::WrongPassword;
}

bool passPhraseLengthFits(const QString& passPhrase) {
    const qsizetype characters = passPhrase.toUcs4().size();
    return characters >= kPassPhraseShortest && characters <= kPassPhraseLongest;
}

Result<LoginAttempt> attemptLogin(DatabaseAccess& database, const QString& name,
                                  const QString& typed) {
    LoginAttempt attempt;
    const QString owner = EncryptField(name);
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    const Result<std::optional<StoredAccountKey>> key = readAccountKey(connection.value(), owner);
    if (!key.ok()) {
        return key.status();
    }
    if (key.value()) {
        // The same Argon2id wait whatever the pass phrase, so that its length tells nothing.
        const QString passPhrase = passPhraseLengthFits(typed) ? typed : QString();
        SecretBytes dataKey =
            unlockAccountKey(passPhrase, key.value()->record, key.value()->binding(owner));
        if (dataKey.empty() || passPhrase.isEmpty()) {
            attempt.match = LoginMatch::WrongPassword;
            return attempt;
        }
        attempt.match = LoginMatch::Matches;
        attempt.account = Account(owner, std::make_shared<const SecretBytes>(std::move(dataKey)));
        return attempt;
    }
    attempt.passwordCipher = EncryptField(typed.left(kLoginMaxLength).trimmed());
    const Result<LoginMatch> match = matchLogin(database, owner, attempt.passwordCipher);
    if (!match.ok()) {
        return match.status();
    }
    attempt.match = match.value();
    attempt.account = Account(owner);
    return attempt;
}

}  // namespace ks
