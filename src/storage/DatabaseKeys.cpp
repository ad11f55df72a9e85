#include <openssl/evp.h>
#include <QFile>

#include "storage/ConnectionHandle.h"
#include "storage/Database.h"

namespace ks {

namespace {

constexpr int kDatabaseKeyBytes = 32;
constexpr int kKdfIterations = 64000;  // the engine's own default for pass phrases

QByteArray hexKeyClause(const QByteArray& bytes) {
    return QByteArray("x'") + bytes.toHex().toUpper() + QByteArray("'");
}

QByteArray deriveKey(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray phrase = passPhrase.toUtf8();
    QByteArray key(kDatabaseKeyBytes, '\0');
    const int ok = PKCS5_PBKDF2_HMAC_SHA1(
        phrase.constData(), static_cast<int>(phrase.size()),
        reinterpret_cast<const unsigned char*>(salt.constData()), static_cast<int>(salt.size()),
        kKdfIterations, kDatabaseKeyBytes, reinterpret_cast<unsigned char*>(key.data()));
    return ok == 1 ? key : QByteArray();
}

}  // namespace

QByteArray readSalt(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray salt = file.read(kSaltBytes);
    return salt.size() == kSaltBytes ? salt : QByteArray();
}

QByteArray rawKeyFor(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray key = deriveKey(passPhrase, salt);
    return key.isEmpty() ? QByteArray() : hexKeyClause(key);
}

QByteArray rawKeyWithSalt(const QString& passPhrase, const QByteArray& salt) {
    const QByteArray key = deriveKey(passPhrase, salt);
    return key.isEmpty() ? QByteArray() : hexKeyClause(key + salt);
}

}  // namespace ks
