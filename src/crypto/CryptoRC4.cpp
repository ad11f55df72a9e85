#include "crypto/CryptoRC4.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <memory>
#include <new>

namespace ks {

namespace {

constexpr int kMd5Bytes = 16;

struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

QString noPasswordMessage() {
    return QStringLiteral("You have not submitted a Password.");
}
QString noHashMessage() {
    return QStringLiteral("Error Creating Hash Object.");
}

// The value of each upper-case hex digit; -1 for every other character.
struct HexDigits {
    signed char value[128];
    constexpr HexDigits() : value() {
        for (signed char& v : value) {
            v = -1;
        }
        for (int d = 0; d < 10; ++d) {
            value['0' + d] = static_cast<signed char>(d);
        }
        for (int d = 0; d < 6; ++d) {
            value['A' + d] = static_cast<signed char>(10 + d);
        }
    }
    int operator()(char16_t u) const { return u < 128 ? value[u] : -1; }
};
constexpr HexDigits upperHexValue;

char16_t unitOf(QChar c) {
    return c.unicode();
}
template <typename Byte>
char16_t unitOf(Byte c) {
    return static_cast<unsigned char>(c);
}

// Decodes pairs of upper-case hex digits of any string form into `bytes`; false on any other
// character or an odd count.
template <typename View>
bool decodeHex(View hex, QByteArray& bytes) {
    bytes.resize(hex.size() / 2);
    const auto* digits = hex.data();
    char* out = bytes.data();
    bool valid = hex.size() % 2 == 0;
    for (qsizetype i = 0; valid && i < bytes.size(); ++i) {
        const int high = upperHexValue(unitOf(digits[2 * i]));
        const int low = upperHexValue(unitOf(digits[2 * i + 1]));
        valid = high >= 0 && low >= 0;
        out[i] = static_cast<char>((high << 4) | low);
    }
    return valid;
}

// Leading and trailing U+0020 only; other white space is part of the text.
QString stripSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) {
        --last;
    }
    return text.mid(first, last - first);
}

}  // namespace

namespace {

// OpenSSL's library context for the field cipher, one for the process: released at exit, or
// after the last instance still alive then (a shared instance may outlive this file's statics). RC4
// lives in the legacy provider; it is loaded into a context of our own, because loading it into the
// default context would switch off the default provider there, which the database engine relies on.
class CipherProvider {
public:
    static std::shared_ptr<const CipherProvider> instance() {
        static const std::shared_ptr<const CipherProvider> provider(new CipherProvider());
        return provider;
    }
    bool ok() const { return md5 != nullptr && rc4 != nullptr; }

    OSSL_LIB_CTX* context = nullptr;
    EVP_MD* md5 = nullptr;
    EVP_CIPHER* rc4 = nullptr;

    ~CipherProvider() {
        EVP_MD_free(md5);
        EVP_CIPHER_free(rc4);
        for (OSSL_PROVIDER* provider : {legacy_, default_}) {
            if (provider != nullptr) {
                OSSL_PROVIDER_unload(provider);
            }
        }
        OSSL_LIB_CTX_free(context);
    }
    CipherProvider(const CipherProvider&) = delete;
    CipherProvider& operator=(const CipherProvider&) = delete;

private:
    CipherProvider() {
        context = OSSL_LIB_CTX_new();
        if (context == nullptr) {
            return;
        }
        legacy_ = OSSL_PROVIDER_load(context, "legacy");
        default_ = OSSL_PROVIDER_load(context, "default");
        if (legacy_ != nullptr && default_ != nullptr) {
            md5 = EVP_MD_fetch(context, "MD5", nullptr);
            rc4 = EVP_CIPHER_fetch(context, "RC4", nullptr);
        }
    }
    OSSL_PROVIDER* legacy_ = nullptr;
    OSSL_PROVIDER* default_ = nullptr;
};

void cleanse(QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        bytes.detach();
        OPENSSL_cleanse(bytes.data(), static_cast<size_t>(bytes.size()));
    }
    bytes.clear();
}

}  // namespace

clsCryptoRC4::clsCryptoRC4(CipherReport report, QString appTitle)
    : report_(std::move(report)), appTitle_(std::move(appTitle)) {
    const std::shared_ptr<const CipherProvider> provider = CipherProvider::instance();
    if (!provider->ok()) {
        cryptoError(QStringLiteral("Could not get CSP Context."));
        return;
    }
    provider_ = provider;
    hCryptProv = provider->context;
    md5_ = provider->md5;
    rc4_ = provider->rc4;
}

clsCryptoRC4::~clsCryptoRC4() {
    // Keys first: they refer to the provider, which goes with the last instance at exit.
    for (KeyedCipher& keyed : keyed_) {
        dropKey(keyed);
    }
}

void clsCryptoRC4::dropKey(KeyedCipher& keyed) {
    EVP_CIPHER_CTX_free(keyed.context);  // cleanses the key schedule it holds
    keyed.context = nullptr;
    cleanse(keyed.keystream);
    keyed.password.clear();
}

void clsCryptoRC4::plainMessage(const QString& text) {
    if (report_) {
        report_(MessageIcon::None, appTitle_, text);
    }
}

void clsCryptoRC4::cryptoError(const QString& text) {
    if (report_) {
        report_(MessageIcon::Critical, QStringLiteral("Crypto Error"), text);
    }
}

QString clsCryptoRC4::ACSEncrypt(const QString& strPlainText, const QString& strPassword,
                                 bool boolReturnAsHex) {
    if (strPlainText.isEmpty()) {
        plainMessage(QStringLiteral("You have not submitted any PlainText."));
        return {};
    }
    if (strPassword.isEmpty()) {
        plainMessage(noPasswordMessage());
        return {};
    }
    const QByteArray cipher = EncryptDecrypt(strPlainText.toUtf8(), strPassword, true);
    // Raw cipher text keeps one character per byte (Latin-1), which is lossless both ways.
    return boolReturnAsHex ? StringToHex(cipher) : QString::fromLatin1(cipher);
}

QString clsCryptoRC4::ACSDecrypt(const QString& strCipherText, const QString& strPassword,
                                 bool boolDataInHex, bool keepSpaces) {
    const QString plain =
        QString::fromUtf8(ACSDecryptUtf8(strCipherText, strPassword, boolDataInHex));
    return keepSpaces ? plain : stripSpaces(plain);
}

QByteArray clsCryptoRC4::ACSDecryptUtf8(QAnyStringView strCipherText, const QString& strPassword,
                                        bool boolDataInHex) {
    if (strCipherText.isEmpty()) {
        plainMessage(QStringLiteral("You have not submitted any CipherText."));
        return {};
    }
    if (strPassword.isEmpty()) {
        plainMessage(noPasswordMessage());
        return {};
    }
    QByteArray data =
        boolDataInHex ? HexToString(strCipherText) : strCipherText.toString().toLatin1();
    if (data.isEmpty()) {
        return {};
    }
    return EncryptDecrypt(std::move(data), strPassword, false);
}

evp_cipher_ctx_st* clsCryptoRC4::keyedCipher(const QString& password, bool encrypt) {
    KeyedCipher& keyed = keyed_[encrypt ? 1 : 0];
    if (keyed.context != nullptr && keyed.password == password) {
        return keyed.context;
    }
    dropKey(keyed);
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> hHash(EVP_MD_CTX_new());
    if (!hHash || EVP_DigestInit_ex2(hHash.get(), md5_, nullptr) != 1) {
        plainMessage(noHashMessage());
        return nullptr;
    }
    QByteArray phrase = password.toUtf8();
    const bool hashed =
        EVP_DigestUpdate(hHash.get(), phrase.constData(), static_cast<size_t>(phrase.size())) == 1;
    cleanse(phrase);
    if (!hashed) {
        plainMessage(QStringLiteral("Error Hashing Data."));
        return nullptr;
    }
    // The RC4 key is the whole 16-byte MD5 digest of the pass phrase, without salt.
    unsigned char hKey[EVP_MAX_MD_SIZE];
    unsigned int keyLength = 0;
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> context(EVP_CIPHER_CTX_new());
    const bool derived =
        EVP_DigestFinal_ex(hHash.get(), hKey, &keyLength) == 1 && keyLength == kMd5Bytes &&
        context &&
        EVP_CipherInit_ex2(context.get(), rc4_, hKey, nullptr, encrypt ? 1 : 0, nullptr) == 1;
    OPENSSL_cleanse(hKey, sizeof hKey);
    if (!derived) {
        plainMessage(QStringLiteral("Error Deriving Key."));
        return nullptr;
    }
    keyed.context = context.release();
    keyed.password = password;
    return keyed.context;
}

QByteArray clsCryptoRC4::EncryptDecrypt(QByteArray data, const QString& password, bool encrypt) {
    const int n = static_cast<int>(data.size());
    if (hCryptProv == nullptr) {
        plainMessage(noHashMessage());
        return {};
    }
    EVP_CIPHER_CTX* keyed = keyedCipher(password, encrypt);
    if (keyed == nullptr) {
        return {};
    }
    // A stream cipher needs no room beyond the data itself.
    if (EVP_CIPHER_get_block_size(rc4_) != 1) {
        plainMessage(QStringLiteral("Error Determining The Buffer Size."));
        return {};
    }
    // Every value starts at the beginning of the keystream of the pass phrase, so the keystream
    // is run once by the provider (and again only when a longer value needs more of it) and each
    // value is combined with its start: the same bytes a freshly keyed RC4 would give.
    QByteArray& keystream = keyed_[encrypt ? 1 : 0].keystream;
    if (keystream.size() < n) {
        const int length = std::max({n, static_cast<int>(keystream.size()) * 2, 256});
        std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> cipher(EVP_CIPHER_CTX_new());
        const QByteArray zeros(length, '\0');
        QByteArray stream(length, '\0');
        int produced = 0;
        const bool ran =
            cipher && EVP_CIPHER_CTX_copy(cipher.get(), keyed) == 1 &&
            EVP_CipherUpdate(cipher.get(), reinterpret_cast<unsigned char*>(stream.data()),
                             &produced, reinterpret_cast<const unsigned char*>(zeros.constData()),
                             length) == 1 &&
            produced == length;
        if (!ran) {
            plainMessage(encrypt ? QStringLiteral("Error Encrypting Data.")
                                 : QStringLiteral("Error Decrypting Data. Your password is wrong, "
                                                  "or the cipher text has been tampered with."));
            return {};
        }
        cleanse(keystream);
        keystream = stream;
    }
    char* out = data.data();
    const char* key = keystream.constData();
    for (int i = 0; i < n; ++i) {
        out[i] = static_cast<char>(out[i] ^ key[i]);
    }
    return data;
}

QString clsCryptoRC4::StringToHex(const QByteArray& bytes) {
    try {
        return QString::fromLatin1(bytes.toHex().toUpper());
    } catch (const std::bad_alloc&) {
        cryptoError(QStringLiteral("Error While Converting To Hex."));
        return {};
    }
}

QByteArray clsCryptoRC4::HexToString(QAnyStringView hex, bool* ok) {
    if (ok != nullptr) {
        *ok = false;
    }
    try {
        // One pass that checks and converts together: a journal search decodes megabytes.
        QByteArray bytes;
        if (!hex.visit([&bytes](auto view) { return decodeHex(view, bytes); })) {
            cryptoError(QStringLiteral("Invalid Hex String in Function: HexToString."));
            return {};
        }
        if (ok != nullptr) {
            *ok = true;
        }
        return bytes;
    } catch (const std::bad_alloc&) {
        cryptoError(QStringLiteral("Error While Converting From Hex."));
        return {};
    }
}

}  // namespace ks
