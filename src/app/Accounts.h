#pragma once

#include <QString>

#include "storage/Database.h"

namespace ks {

// Which value VerifyUser looks for.
enum class UserCheck {
    USERNAME,  // a row whose UserName is the cipher text
    PASSWORD,  // the row of the logged-in name whose Password is the cipher text
};

// Whether a Users row confirms the cipher text. `userNameCipher` is the owner value of the
// name being logged in (used for PASSWORD). Names and passwords are never decrypted: the
// cipher is deterministic, so comparing cipher texts compares the values exactly.
Result<bool> VerifyUser(DatabaseAccess& database, UserCheck kind, const QString& cipherText,
                        const QString& userNameCipher);

// Adds one account for the two values (both already trimmed). The name is looked up again
// under the writer's lock, so an account made meanwhile (by another running program) is never
// made twice: that gives a failure. Either the whole row is written or nothing.
DbStatus CreateUser(DatabaseAccess& database, const QString& name, const QString& password);

}  // namespace ks
