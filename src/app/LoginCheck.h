#pragma once

#include <QString>

#include "core/LoginRules.h"
#include "storage/Database.h"

namespace ks {

// The rules a login name and password must meet, and the check of a pair against the Users
// table, shared by the login window and the command-line companion.

enum class LoginRefusal {
    None,
    NameTooShort,      // 3 characters or fewer once trimmed
    PasswordTooShort,  // the same for the password; looked at only when the name passes
};

// Checks the lengths of a typed name and password (trimmed, as they are stored).
LoginRefusal checkLoginLengths(const QString& name, const QString& password);

// The message that tells the user why the lengths were refused; empty for None.
QString loginRefusalMessage(LoginRefusal refusal);

// Told when the name is known but the password does not match.
QString invalidLoginMessage();

// How a name and password compare with the accounts.
enum class LoginMatch {
    Matches,
    UnknownName,
    WrongPassword,
};

// Compares the owner value and the password's cipher text with the Users table.
Result<LoginMatch> matchLogin(DatabaseAccess& database, const QString& userNameCipher,
                              const QString& passwordCipher);

}  // namespace ks
