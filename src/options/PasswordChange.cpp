#include "options/PasswordChange.h"

#include "core/LoginRules.h"
#include "crypto/FieldCipher.h"
#include "options/OptionsMessages.h"
#include "storage/Schema.h"

namespace ks {

PasswordRefusal validatePasswordChange(const QString& oldPassword, const QString& newPassword,
                                       const QString& repetition) {
    const QString fresh = newPassword.trimmed();
    if (oldPassword.trimmed().isEmpty()) {
        return PasswordRefusal::OldMissing;
    }
    if (fresh != repetition.trimmed()) {
        return PasswordRefusal::NotIdentical;
    }
    if (fresh.isEmpty()) {
        return PasswordRefusal::NewMissing;
    }
    if (fresh.size() <= kLoginShortest) {
        return PasswordRefusal::NewTooShort;
    }
    if (fresh.size() > kLoginMaxLength) {
        return PasswordRefusal::NewTooLong;
    }
    return PasswordRefusal::None;
}

QString refusalMessage(PasswordRefusal refusal) {
    switch (refusal) {
        case PasswordRefusal::OldMissing:
            return oldPasswordMissingMessage();
        case PasswordRefusal::NotIdentical:
            return passwordsDifferMessage();
        case PasswordRefusal::NewMissing:
            return newPasswordMissingMessage();
        case PasswordRefusal::NewTooShort:
            return newPasswordTooShortMessage();
        case PasswordRefusal::NewTooLong:
            return newPasswordTooLongMessage();
        case PasswordRefusal::None:
            break;
    }
    return {};
}

PasswordChangeOutcome ChangePassword(DatabaseAccess& database, const QString& userNameCipher,
                                     const QString& passwordCipher, const QString& oldPassword,
                                     const QString& newPassword) {
    using Result = PasswordChangeOutcome::Result;
    if (EncryptField(oldPassword) != passwordCipher) {
        return {Result::OldIncorrect, {}, {}};
    }
    const QString newCipher = EncryptField(newPassword);
    if (newCipher.isEmpty()) {
        return {Result::Failed,
                {DbCode::Failed, QStringLiteral("the new password could not be encrypted")},
                {}};
    }
    WriteOperation write(database);
    if (!write.ok()) {
        return {Result::Failed, write.status(), {}};
    }
    Statement update = write.connection().prepare(
        QStringLiteral("UPDATE Users SET Password = ?1, Modified = ?4 WHERE UserName = ?2 AND "
                       "Password = ?3 AND KeyWrapped IS NULL"));
    update.bind(1, newCipher)
        .bind(2, userNameCipher)
        .bind(3, passwordCipher)
        .bind(4, rowWriteTime());
    if (DbStatus status = update.run(); !status.ok()) {
        return {Result::Failed, status, {}};
    }
    Statement changed = write.connection().prepare(QStringLiteral("SELECT changes()"));
    if (!changed.next() || changed.integer(0) == 0) {
        return {Result::Failed,
                changed.status().ok()
                    ? DbStatus{DbCode::Failed,
                               QStringLiteral("no account of this name holds the old password")}
                    : changed.status(),
                {}};
    }
    if (DbStatus status = write.commit(); !status.ok()) {
        return {Result::Failed, status, {}};
    }
    return {Result::Changed, {}, newCipher};
}

}  // namespace ks
