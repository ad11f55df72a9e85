#include "core/AccountValues.h"

#include "crypto/FieldCipher.h"
#include "protection/TextSeal.h"

namespace ks {

namespace {

FieldBinding bindingOf(const ValueColumn& column, QByteArrayView rowUuid) {
    return {column.table, column.name, rowUuid.toByteArray()};
}

}  // namespace

std::optional<QString> storedValue(const Account& account, const ValueColumn& column,
                                   QByteArrayView rowUuid, const QString& plain) {
    if (account.isProtected()) {
        QString sealed = sealText(*account.dataKey, plain, bindingOf(column, rowUuid));
        return sealed.isEmpty() ? std::nullopt : std::optional(sealed);
    }
    if (column.shared == SharedForm::Plain || plain.isEmpty()) {
        return plain;
    }
    QString cipher = EncryptField(plain);
    return cipher.isEmpty() ? std::nullopt : std::optional(cipher);
}

std::optional<QString> shownValue(const Account& account, const ValueColumn& column,
                                  QByteArrayView rowUuid, const QString& stored) {
    if (account.isProtected()) {
        return openText(*account.dataKey, stored, bindingOf(column, rowUuid));
    }
    switch (column.shared) {
        case SharedForm::Plain:
            return stored;
        case SharedForm::Cipher:
            return DecryptStored(stored);
        case SharedForm::CipherKeepingSpaces:
            return DecryptStoredKeepingSpaces(stored);
    }
    return stored;
}

QString damagedValueText() {
    return QStringLiteral("(could not be decrypted)");
}

}  // namespace ks
