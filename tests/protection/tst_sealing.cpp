#include <QtTest>

#include "ProtectedAccount.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "core/AccountKeys.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "protection/AccountKey.h"
#include "protection/BlobSeal.h"
#include "protection/PassPhraseKey.h"
#include "protection/PipelinedOpening.h"
#include "protection/TextSeal.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

// The cheapest stretching libsodium allows: the tests check behaviour, not cost.
KdfParams cheapKdf() {
    KdfParams params = calibrateKdf(0, 8192);
    params.opsLimit = 1;
    return params;
}

SecretBytes randomKey() {
    QByteArray bytes(32, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(QRandomGenerator::global()->generate());
    }
    return SecretBytes::copyOf(bytes);
}

FieldBinding at(const char* table, const char* column, char uuidByte) {
    return {QLatin1StringView(table), QLatin1StringView(column), QByteArray(16, uuidByte)};
}

QByteArray pattern(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
    }
    return bytes;
}

// Streams `sealed` through an opener in pieces of `piece` bytes; nullopt when it refuses.
std::optional<QByteArray> openInPieces(const SecretBytes& key, const FieldBinding& where,
                                       const QByteArray& sealed, qint64 piece) {
    QByteArray plain;
    const SealedSink sink = [&plain](QByteArrayView bytes) {
        plain.append(bytes);
        return true;
    };
    BlobOpener opener(key, where);
    for (qint64 at = 0; at < sealed.size(); at += piece) {
        if (!opener.add(QByteArrayView(sealed).sliced(at, std::min(piece, sealed.size() - at)),
                        sink)) {
            return std::nullopt;
        }
    }
    return opener.finish(sink) ? std::optional(plain) : std::nullopt;
}

// Opens `sealed` as a reader of the stored blob does, in the blob's own pieces, the opening on a
// second thread; nullopt when it refuses.
std::optional<QByteArray> openPipelined(const SecretBytes& key, const FieldBinding& where,
                                        const QByteArray& sealed) {
    QByteArray plain;
    BlobOpener opener(key, where);
    PipelinedOpening opening(opener, [&plain](QByteArrayView bytes) {
        plain.append(bytes);
        return true;
    });
    for (qint64 at = 0; at < sealed.size();) {
        const qint64 size =
            std::min(at == 0 ? sealedBlobHeadBytes() : sealedChunkBytes(), sealed.size() - at);
        QByteArray piece = sealed.mid(at, size);
        at += size;
        if (!opening.add(piece)) {
            return std::nullopt;
        }
    }
    return opening.finish() ? std::optional(plain) : std::nullopt;
}

constexpr qint64 kChunk = 1024 * 1024;

}  // namespace

class SealingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textsOpenOnlyWhereAndWithWhatTheyWereSealed() {
        const SecretBytes key = randomKey();
        const FieldBinding where = at("Logins", "Password", 1);
        const QString long1MB = QString(1'000'000, QChar(0x4e2d));
        for (const QString& plain : {QString(), QStringLiteral("  spaces kept  "),
                                     QStringLiteral("Stra\u00dfe \u0130stanbul\nline"), long1MB}) {
            const QString stored = sealText(key, plain, where);
            QVERIFY(looksSealed(stored));
            QCOMPARE(openText(key, stored, where).value_or(QStringLiteral("<refused>")), plain);
        }
        // A fresh nonce each time: equal values do not give equal stored texts.
        const QString one = sealText(key, u"same", where);
        QVERIFY(one != sealText(key, u"same", where));

        // Another row, column, table or key, any changed character, a cut or garbage: refused.
        QVERIFY(!openText(key, one, at("Logins", "Password", 2)));
        QVERIFY(!openText(key, one, at("Logins", "Notes", 1)));
        QVERIFY(!openText(key, one, at("Journals", "Password", 1)));
        QVERIFY(!openText(randomKey(), one, where));
        // Every other character at every place, the last one's unused bits included.
        const QString alphabet =
            u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"_s;
        for (int i = int(kSealedTextPrefix.size()); i < one.size(); ++i) {
            for (const QChar other : alphabet) {
                if (other != one.at(i)) {
                    QString changed = one;
                    changed[i] = other;
                    QVERIFY2(!openText(key, changed, where), qPrintable(QString::number(i)));
                }
            }
        }
        QVERIFY(!openText(key, one.left(one.size() - 4), where));
        // Padding left off, doubled or moved forward.
        QVERIFY(one.endsWith(u'=') && !one.endsWith(u"=="));
        QVERIFY(!openText(key, one.chopped(1), where));
        QVERIFY(!openText(key, one + u"==="_s, where));
        QVERIFY(!openText(key, one.chopped(5) + u"="_s + one.right(5).chopped(1), where));
        QVERIFY(!openText(key, u"ks1:", where));
        QVERIFY(!openText(key, u"ks1:***not base64***", where));
        QVERIFY(!openText(key, u"C12F05C7", where));  // the fixed cipher's text
        QVERIFY(!looksSealed(u"C12F05C7"));
    }

    void blobsStreamInAnyPiecesAndRefuseEveryDamage() {
        const SecretBytes key = randomKey();
        const FieldBinding where = at("Files", "File", 7);
        for (const qint64 size :
             {qint64(0), qint64(1), kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 5}) {
            const QByteArray plain = pattern(size);
            const QByteArray sealed = sealBlob(key, where, plain);
            QCOMPARE(sealed.size(), sealedBlobSize(size));
            for (const qint64 piece : {qint64(1000), qint64(kChunk), qint64(7 * kChunk)}) {
                const std::optional<QByteArray> opened = openInPieces(key, where, sealed, piece);
                QVERIFY2(opened && *opened == plain, qPrintable(QString::number(size)));
            }
            QVERIFY2(openPipelined(key, where, sealed) == plain, qPrintable(QString::number(size)));
        }

        const QByteArray plain = pattern(2 * kChunk + 100);
        const QByteArray sealed = sealBlob(key, where, plain);
        const qint64 firstChunkEnd = 4 + 24 + kChunk + 17;
        QVERIFY(!openBlob(key, where, sealed.left(firstChunkEnd)));  // cut at a chunk's end
        QVERIFY(!openBlob(key, where, sealed.left(sealed.size() - 1)));
        QVERIFY(!openBlob(key, where, sealed + QByteArray(1, 'x')));
        QVERIFY(!openBlob(key, where, sealed + sealed.right(117)));  // a last chunk twice
        QVERIFY(!openBlob(key, at("Files", "File", 8), sealed));
        QVERIFY(!openBlob(key, at("Images", "Image", 7), sealed));
        QVERIFY(!openBlob(randomKey(), where, sealed));
        QVERIFY(!openBlob(key, where, plain));  // never sealed
        QVERIFY(!openBlob(key, where, QByteArray()));
        for (const qint64 at :
             {qint64(0), qint64(5), qint64(40), firstChunkEnd + 3, sealed.size() - 1}) {
            QByteArray damaged = sealed;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
            QVERIFY2(!openBlob(key, where, damaged), qPrintable(QString::number(at)));
        }
        // Two chunks of one blob swapped.
        const QByteArray head = sealed.left(28);
        const QByteArray first = sealed.mid(28, kChunk + 17);
        const QByteArray second = sealed.mid(28 + kChunk + 17, kChunk + 17);
        const QByteArray rest = sealed.mid(28 + 2 * (kChunk + 17));
        QVERIFY(!openBlob(key, where, head + second + first + rest));
        for (const QByteArray& wrong :
             {head + second + first + rest, sealed.left(firstChunkEnd), head + first + first + rest,
              sealed + sealed.right(117), sealed.left(20), head}) {
            QVERIFY(!openPipelined(key, where, wrong));
        }
        QByteArray damaged = sealed;
        damaged[firstChunkEnd + 3] = static_cast<char>(damaged[firstChunkEnd + 3] ^ 0x01);
        QVERIFY(!openPipelined(key, where, damaged));
    }

    void accountKeysOpenWithTheirPassPhraseOnly() {
        const KdfParams kdf = cheapKdf();
        const QByteArray anna = accountKeyBinding("C12F05C7", QByteArray(16, 'a'));
        const QByteArray bob = accountKeyBinding("D00D", QByteArray(16, 'b'));
        std::optional<NewAccountKey> made = createAccountKey(u"correct horse battery", kdf, anna);
        QVERIFY(made);
        const QByteArray probeSeal = sealBlob(made->dataKey, at("Images", "Image", 1), "x");

        SecretBytes opened = unlockAccountKey(u"correct horse battery", made->record, anna);
        QVERIFY(!opened.empty());
        QCOMPARE(openBlob(opened, at("Images", "Image", 1), probeSeal).value_or("?"),
                 QByteArray("x"));
        QVERIFY(unlockAccountKey(u"correct horse batter", made->record, anna).empty());
        QVERIFY(unlockAccountKey(u"correct horse battery ", made->record, anna).empty());
        QVERIFY(unlockAccountKey(u"correct horse battery", made->record, bob).empty());
        AccountKeyRecord damaged = made->record;
        damaged.wrappedKey[30] = static_cast<char>(damaged.wrappedKey[30] ^ 0x40);
        QVERIFY(unlockAccountKey(u"correct horse battery", damaged, anna).empty());
        AccountKeyRecord otherSalt = made->record;
        otherSalt.kdf = withNewSalt(otherSalt.kdf);
        QVERIFY(unlockAccountKey(u"correct horse battery", otherSalt, anna).empty());

        // A new pass phrase wraps the same data key: what was sealed still opens.
        const std::optional<AccountKeyRecord> rewrapped =
            rewrapAccountKey(opened, u"\u00e9t\u00e9 \u6771\u4eac 2026", withNewSalt(kdf), anna);
        QVERIFY(rewrapped);
        QVERIFY(unlockAccountKey(u"correct horse battery", *rewrapped, anna).empty());
        const SecretBytes again =
            unlockAccountKey(u"\u00e9t\u00e9 \u6771\u4eac 2026", *rewrapped, anna);
        QCOMPARE(openBlob(again, at("Images", "Image", 1), probeSeal).value_or("?"),
                 QByteArray("x"));
    }

    // An account in the shared format stores exactly what earlier builds stored; a protected
    // one seals every value, the empty one too, for its row and column only.
    void accountValuesKeepTheSharedFormUnlessProtected() {
        const Account plain(u"C12F05C7"_s);
        const QByteArray row(16, 'r');
        QCOMPARE(storedValue(plain, columns::kShortName, row, u"anna"_s).value_or(u"?"_s),
                 EncryptField(u"anna"_s));
        QCOMPARE(storedValue(plain, columns::kNotes, row, QString()).value_or(u"?"_s), QString());
        QCOMPARE(storedValue(plain, columns::kCategory, row, u" Work "_s).value_or(u"?"_s),
                 u" Work "_s);
        QCOMPARE(
            shownValue(plain, columns::kNotes, row, EncryptField(u" two  "_s)).value_or(u"?"_s),
            u" two  "_s);
        QCOMPARE(
            shownValue(plain, columns::kShortName, row, EncryptField(u" two  "_s)).value_or(u"?"_s),
            u"two"_s);

        const Account sealed(u"C12F05C7"_s, std::make_shared<const SecretBytes>(randomKey()));
        for (const QString& value : {QString(), u" Work "_s}) {
            const QString stored =
                storedValue(sealed, columns::kCategory, row, value).value_or(QString());
            QVERIFY(looksSealed(stored));
            QCOMPARE(shownValue(sealed, columns::kCategory, row, stored).value_or(u"?"_s), value);
            QVERIFY(!shownValue(sealed, columns::kCategoryName, row, stored));
            QVERIFY(!shownValue(sealed, columns::kCategory, QByteArray(16, 's'), stored));
            QVERIFY(
                !shownValue(plain, columns::kCategory, row, stored).value_or(QString()).isEmpty());
        }
    }

    // The key row of a protected account is kept with its Users row and opens with its pass
    // phrase only; an account in the shared format has none.
    void keyRowsLiveWithTheirAccount() {
        test::TestEnvironment env;
        DatabaseAccess database(env.freshDatabase(), PassPhrase());
        const Account anna = test::protectedAccount(database, u"anna"_s, u"a long pass phrase"_s);
        QVERIFY(anna.isProtected());
        QVERIFY(test::protectedAccount(database, u"bobby"_s).isProtected());
        CreateUser(database, u"carl"_s, u"password"_s);
        Result<Connection> connection = database.open();
        QVERIFY(connection.ok());
        const auto key = readAccountKey(connection.value(), anna.owner);
        QVERIFY(key.ok() && key.value().has_value());
        QVERIFY(!readAccountKey(connection.value(), EncryptField(u"carl"_s)).value().has_value());
        const SecretBytes opened = unlockAccountKey(u"a long pass phrase", key.value()->record,
                                                    key.value()->binding(anna.owner));
        QVERIFY(!opened.empty());
        QVERIFY(unlockAccountKey(u"a long pass phrase", key.value()->record,
                                 key.value()->binding(EncryptField(u"bobby"_s)))
                    .empty());
        QCOMPARE(
            test::countOf(
                connection.value(),
                u"SELECT count(*) FROM Users WHERE Password = '' AND KeyWrapped IS NOT NULL"_s),
            2);
    }

    void calibrationKeepsTheMemoryAndANewSalt() {
        const KdfParams one = calibrateKdf(1, kLeastKdfMemory);
        const KdfParams two = calibrateKdf(1, kLeastKdfMemory);
        QVERIFY(one.valid());
        QCOMPARE(one.memLimit, kLeastKdfMemory);
        QVERIFY(one.opsLimit >= 1);
        QVERIFY(one.salt != two.salt);
        KdfParams broken = one;
        broken.salt.chop(1);
        QVERIFY(!broken.valid());
        QVERIFY(deriveKeyEncryptionKey(u"phrase phrase", broken).empty());
    }
};

QTEST_GUILESS_MAIN(SealingTest)
#include "tst_sealing.moc"
