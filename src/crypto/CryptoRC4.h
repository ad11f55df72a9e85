#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "core/Dialogs.h"

struct ossl_lib_ctx_st;
struct evp_md_st;
struct evp_cipher_st;
struct evp_cipher_ctx_st;

namespace ks {

// Reports a failure of the cipher to the user: icon, title and text of a message box.
using CipherReport = std::function<void(MessageIcon, const QString&, const QString&)>;

// RC4 keyed with the MD5 digest of a pass phrase, started afresh for every value, so equal
// texts give equal cipher texts. Cipher text travels as upper-case hex, two digits a byte.
// Text is turned into UTF-8 before encryption, so no character is lost on the way.
// Failures are reported through `report` and give an empty result.
class clsCryptoRC4 {
public:
    clsCryptoRC4(CipherReport report, QString appTitle);
    ~clsCryptoRC4();
    clsCryptoRC4(const clsCryptoRC4&) = delete;
    clsCryptoRC4& operator=(const clsCryptoRC4&) = delete;

    QString ACSEncrypt(const QString& strPlainText, const QString& strPassword,
                       bool boolReturnAsHex);
    // Leading and trailing spaces of the plain text are dropped unless `keepSpaces`.
    QString ACSDecrypt(const QString& strCipherText, const QString& strPassword, bool boolDataInHex,
                       bool keepSpaces = false);
    // The plain text as it was encrypted (UTF-8), spaces kept; empty when it cannot be
    // decrypted, with ACSDecrypt's messages.
    QByteArray ACSDecryptUtf8(QAnyStringView strCipherText, const QString& strPassword,
                              bool boolDataInHex);

    // Hex form of bytes: two upper-case digits each.
    QString StringToHex(const QByteArray& bytes);
    // Bytes of a hex text; only "0"-"9" and "A"-"F" in pairs are accepted. On a bad text the
    // invalid-hex message is shown and `ok` is false.
    QByteArray HexToString(QAnyStringView hex, bool* ok = nullptr);

    // The title of the plain message boxes.
    void setAppTitle(const QString& appTitle) { appTitle_ = appTitle; }

    // Whether the process's provider context was there at creation (shared by every instance
    // and released when the process ends).
    bool hasProvider() const { return hCryptProv != nullptr; }

private:
    QByteArray EncryptDecrypt(QByteArray data, const QString& password, bool encrypt);
    // RC4 freshly keyed with the MD5 digest of `password`, made once per pass phrase and
    // direction; null after the failure has been reported.
    evp_cipher_ctx_st* keyedCipher(const QString& password, bool encrypt);
    void plainMessage(const QString& text);
    void cryptoError(const QString& text);

    CipherReport report_;
    QString appTitle_;
    std::shared_ptr<const void> provider_;  // keeps the process's provider context alive
    ossl_lib_ctx_st* hCryptProv = nullptr;
    evp_md_st* md5_ = nullptr;
    evp_cipher_st* rc4_ = nullptr;
    struct KeyedCipher {
        QString password;
        evp_cipher_ctx_st* context = nullptr;
        QByteArray keystream;  // the start of the keystream, as far as values have needed it
    };
    KeyedCipher keyed_[2];  // decrypting, encrypting
    // Frees a key and wipes the keystream it made.
    static void dropKey(KeyedCipher& keyed);
};

}  // namespace ks
