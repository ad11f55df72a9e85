#pragma once

#include <QString>

#include "storage/Database.h"

namespace ks {

// Why a change of password is refused before the database is asked; None when it may go on.
enum class PasswordRefusal { None, OldMissing, NotIdentical, NewMissing, NewTooShort, NewTooLong };

// Checks the three boxes as typed (spaces around each value do not count). A new password the
// login window could not accept is refused, so nobody can lock themself out.
PasswordRefusal validatePasswordChange(const QString& oldPassword, const QString& newPassword,
                                       const QString& repetition);
// The exclamation message of a refusal.
QString refusalMessage(PasswordRefusal refusal);

struct PasswordChangeOutcome {
    enum class Result { Changed, OldIncorrect, Failed } result = Result::Failed;
    DbStatus status;            // why it failed
    QString newPasswordCipher;  // the cipher text now stored, when changed
};

// Replaces the password of the logged-in account (`userNameCipher`). `oldPassword` must be the
// one in force (`passwordCipher`); both values are already trimmed. One statement changes the
// one account whose name and old password match; when no row was changed, nothing is reported
// as changed.
PasswordChangeOutcome ChangePassword(DatabaseAccess& database, const QString& userNameCipher,
                                     const QString& passwordCipher, const QString& oldPassword,
                                     const QString& newPassword);

}  // namespace ks
