#pragma once

#include <QString>

#include "core/Dialogs.h"

namespace ks {

class clsCryptoRC4;

// Where the shared cipher shows its messages, and the title of its plain message boxes. Set by
// the program at start (and by tests); may be changed at any time.
void setCipherDialogs(Dialogs* dialogs, const QString& appTitle);

// The one way to the cipher: encrypts a value with the fixed pass phrase into upper-case hex.
// An empty value is refused by the cipher with its message; callers pass non-empty values.
QString EncryptField(const QString& value);
// Decrypts a stored hex value; the empty string when it cannot be decrypted.
QString DecryptField(const QString& value);
// The same, keeping the spaces around the value (for texts that keep every character).
QString DecryptFieldKeepingSpaces(const QString& value);

// The same for a stored column, where an empty value stands for an empty field: it comes back
// empty, without the cipher's complaint about empty input.
QString DecryptStored(const QString& value);
QString DecryptStoredKeepingSpaces(const QString& value);
// The same as it was encrypted (UTF-8), spaces kept: for callers that work on the bytes.
QByteArray DecryptStoredUtf8(QAnyStringView value);

// The shared cipher instance, made on first use and kept for the whole run.
clsCryptoRC4& FieldCipher();

}  // namespace ks
