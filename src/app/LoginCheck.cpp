#include "app/LoginCheck.h"

#include "app/Accounts.h"

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

}  // namespace ks
