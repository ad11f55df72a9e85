#include "crypto/FieldCipher.h"

#include <memory>

#include "crypto/CryptoRC4.h"
#include "crypto/PassPhrase.h"

namespace ks {

namespace {

Dialogs* g_dialogs = nullptr;
QString g_appTitle;
std::unique_ptr<clsCryptoRC4> g_fieldCipher;

void reportToDialogs(MessageIcon icon, const QString& title, const QString& text) {
    if (g_dialogs != nullptr) {
        g_dialogs->message(icon, title, text);
    }
}

}  // namespace

void setCipherDialogs(Dialogs* dialogs, const QString& appTitle) {
    g_dialogs = dialogs;
    g_appTitle = appTitle;
    if (g_fieldCipher) {
        g_fieldCipher->setAppTitle(appTitle);
    }
}

clsCryptoRC4& FieldCipher() {
    if (!g_fieldCipher) {
        g_fieldCipher = std::make_unique<clsCryptoRC4>(reportToDialogs, g_appTitle);
    }
    return *g_fieldCipher;
}

QString EncryptField(const QString& value) {
    return FieldCipher().ACSEncrypt(value, PassPhrase(), true);
}

QString DecryptField(const QString& value) {
    return FieldCipher().ACSDecrypt(value, PassPhrase(), true);
}

QString DecryptFieldKeepingSpaces(const QString& value) {
    return FieldCipher().ACSDecrypt(value, PassPhrase(), true, /*keepSpaces=*/true);
}

QString DecryptStored(const QString& value) {
    return value.isEmpty() ? QString() : DecryptField(value);
}

QString DecryptStoredKeepingSpaces(const QString& value) {
    return value.isEmpty() ? QString() : DecryptFieldKeepingSpaces(value);
}

QByteArray DecryptStoredUtf8(QAnyStringView value) {
    return value.isEmpty() ? QByteArray() : FieldCipher().ACSDecryptUtf8(value, PassPhrase(), true);
}

}  // namespace ks
