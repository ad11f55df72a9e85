#pragma once

#include <QString>

#include "core/Account.h"
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

// Whether a pass phrase, as typed, has a length a protected account accepts (counted in
// characters, not in UTF-16 units).
bool passPhraseLengthFits(const QString& passPhrase);

// A login as the stores go on with it.
struct LoginAttempt {
    LoginMatch match = LoginMatch::UnknownName;
    Account account;         // when it matches: the owner value and, if protected, its data key
    QString passwordCipher;  // an account in the shared format: its password's cipher text
};

// Checks a login. `typed` is the password box's text as typed: an account in the shared format
// takes the first kLoginMaxLength characters, trimmed, as the box of older builds did; a
// protected account takes it whole as its pass phrase, which must open the account's key (a
// pass phrase of the wrong length cannot, and is refused as a wrong one, after the same wait).
// The lengths must have been checked (checkLoginLengths).
Result<LoginAttempt> attemptLogin(DatabaseAccess& database, const QString& name,
                                  const QString& typed);

}  // namespace ks
