#include <QtTest>
#include <QtWidgets>

#include "GuiDriver.h"
#include "ProtectedAccount.h"
#include "Session.h"
#include "StoredBytes.h"
#include "app/Accounts.h"
#include "app/LoginCheck.h"
#include "core/AccountKeys.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "images/ImageStore.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "options/AccountProtection.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QString kInvalidLogin = u"Invalid user/password combo.  Please try again."_s;
// A pass phrase as people type them: spaces inside and around, letters beyond Latin-1.
const QString kPhrase = u"  correct horse — Pferd Bätterie 电池 staple "_s;

// The Users row of `name` as the file holds it.
struct UserRow {
    QString password;
    bool hasKey = false;
};

UserRow userRow(DatabaseAccess& database, const QString& name) {
    Result<Connection> connection = database.open();
    Statement query = connection->prepare(
        u"SELECT Password, KeyWrapped IS NOT NULL FROM Users WHERE UserName = ?1"_s);
    query.bind(1, EncryptField(name));
    UserRow row;
    if (query.next()) {
        row.password = query.text(0);
        row.hasKey = query.integer(1) != 0;
    }
    return row;
}

QByteArray keyBytes(const Account& account) {
    return account.dataKey ? QByteArray(reinterpret_cast<const char*>(account.dataKey->data()),
                                        static_cast<qsizetype>(account.dataKey->size()))
                           : QByteArray();
}

}  // namespace

class AccountProtectionTest : public test::SessionTest {
    Q_OBJECT

private Q_SLOTS:
    void passPhraseRulesCountCharactersAndKeepSpaces() {
        using R = PassPhraseRefusal;
        QCOMPARE(validateNewPassPhrase(u"pw"_s, u"12345678"_s, u"12345678"_s), R::None);
        QCOMPARE(validateNewPassPhrase(u"  "_s, u"12345678"_s, u"12345678"_s), R::CurrentMissing);
        QCOMPARE(validateNewPassPhrase(u"pw"_s, u"1234567"_s, u"1234567"_s), R::TooShort);
        // Spaces are part of the phrase: a repetition that differs only by them differs.
        QCOMPARE(validateNewPassPhrase(u"pw"_s, u"12345678 "_s, u"12345678"_s), R::NotIdentical);
        QCOMPARE(validateNewPassPhrase(u"pw"_s, u"      abc  "_s, u"      abc  "_s), R::OnlySpaces);
        // Characters, not UTF-16 units: 128 characters outside the basic plane are taken.
        const QString clef = u"𝄞"_s;
        QCOMPARE(clef.size(), 2);
        QCOMPARE(validateNewPassPhrase(u"pw"_s, clef.repeated(128), clef.repeated(128)), R::None);
        QCOMPARE(validateNewPassPhrase(u"pw"_s, clef.repeated(129), clef.repeated(129)),
                 R::TooLong);
        QCOMPARE(validateNewPassPhrase(u"pw"_s, clef.repeated(4), clef.repeated(4)), R::TooShort);
    }

    // Protecting is all or nothing, only with the account's own password; the account then
    // logs in with its pass phrase only, and a new pass phrase keeps the same data key.
    void protectingIsAllOrNothingAndThePassPhraseOpensTheKey() {
        test::TestEnvironment env;
        DatabaseAccess database(env.freshDatabase(), PassPhrase());
        QVERIFY(CreateUser(database, u"anna"_s, u"secret1"_s).ok());
        QVERIFY(CreateUser(database, u"bert"_s, u"secret2"_s).ok());
        const QString owner = EncryptField(u"anna"_s);
        const UserRow before = userRow(database, u"anna"_s);
        int rows = 0;
        int written = 0;
        // A part that writes and counts its rows, and one that stops after the first.
        const ConversionPart writes = [&written](Connection& connection,
                                                 const AccountConversion& conversion) {
            Statement touch = connection.prepare(
                u"UPDATE Users SET Modified = Modified + 1 WHERE UserName = ?1"_s);
            touch.bind(1, conversion.from.owner);
            if (DbStatus status = touch.run(); !status.ok()) {
                return status;
            }
            ++written;
            return conversion.rowDone() ? DbStatus{} : DbStatus{DbCode::Cancelled, {}};
        };
        const auto stopAfter = [&rows](int limit) {
            return [&rows, limit] { return ++rows < limit; };
        };

        ProtectionOutcome wrong = protectAccount(database, owner, u"secret2"_s, kPhrase,
                                                 test::cheapKdf(), {writes}, stopAfter(100));
        QCOMPARE(wrong.result, ProtectionOutcome::Result::PasswordIncorrect);
        QCOMPARE(written, 0);

        ProtectionOutcome cancelled =
            protectAccount(database, owner, u"secret1"_s, kPhrase, test::cheapKdf(),
                           {writes, writes}, stopAfter(2));
        QCOMPARE(cancelled.result, ProtectionOutcome::Result::Failed);
        QCOMPARE(cancelled.status.code, DbCode::Cancelled);
        QCOMPARE(written, 2);
        QCOMPARE(userRow(database, u"anna"_s).password, before.password);
        QVERIFY(!userRow(database, u"anna"_s).hasKey);
        Result<LoginAttempt> plain = attemptLogin(database, u"anna"_s, u"secret1"_s);
        QVERIFY(plain.ok());
        QCOMPARE(plain->match, LoginMatch::Matches);
        QVERIFY(!plain->account.isProtected());

        rows = 0;
        ProtectionOutcome done = protectAccount(database, owner, u" secret1 "_s.trimmed(), kPhrase,
                                                test::cheapKdf(), {writes}, stopAfter(100));
        QCOMPARE(done.result, ProtectionOutcome::Result::Protected);
        QVERIFY(done.account.isProtected());
        // Nothing derived from a password is left beside the wrapped key.
        QCOMPARE(userRow(database, u"anna"_s).password, QString());
        QVERIFY(userRow(database, u"anna"_s).hasKey);
        QVERIFY(!userRow(database, u"bert"_s).hasKey);

        const auto matchOf = [&database](const QString& typed) {
            Result<LoginAttempt> attempt = attemptLogin(database, u"anna"_s, typed);
            return attempt.ok() ? attempt->match : LoginMatch::UnknownName;
        };
        Result<LoginAttempt> opened = attemptLogin(database, u"anna"_s, kPhrase);
        QVERIFY(opened.ok());
        QCOMPARE(opened->match, LoginMatch::Matches);
        QCOMPARE(keyBytes(opened->account), keyBytes(done.account));
        QCOMPARE(matchOf(kPhrase.trimmed()), LoginMatch::WrongPassword);  // spaces count
        QCOMPARE(matchOf(u"secret1"_s), LoginMatch::WrongPassword);
        QCOMPARE(matchOf(u"abc"_s.repeated(50)), LoginMatch::WrongPassword);
        QCOMPARE(attemptLogin(database, u"bert"_s, u"secret2"_s)->match, LoginMatch::Matches);
        // An account in the shared format takes what the 15-character box of older builds kept.
        QVERIFY(CreateUser(database, u"carl"_s, u"fifteen-chars-x"_s).ok());
        QCOMPARE(attemptLogin(database, u"carl"_s, u"fifteen-chars-x and more"_s)->match,
                 LoginMatch::Matches);
        QCOMPARE(attemptLogin(database, u"carl"_s, u"fifteen-chars-"_s)->match,
                 LoginMatch::WrongPassword);

        // A second protection is refused: the account has no password in the shared format.
        QCOMPARE(protectAccount(database, owner, u"secret1"_s, kPhrase, test::cheapKdf(), {},
                                stopAfter(100))
                     .result,
                 ProtectionOutcome::Result::PasswordIncorrect);

        QCOMPARE(changePassPhrase(database, owner, u"not the phrase"_s, u"another phrase"_s).result,
                 ProtectionOutcome::Result::PasswordIncorrect);
        ProtectionOutcome changed =
            changePassPhrase(database, owner, kPhrase, u"another phrase 2"_s);
        QCOMPARE(changed.result, ProtectionOutcome::Result::Protected);
        QCOMPARE(keyBytes(changed.account), keyBytes(done.account));
        QCOMPARE(matchOf(kPhrase), LoginMatch::WrongPassword);
        Result<LoginAttempt> again = attemptLogin(database, u"anna"_s, u"another phrase 2"_s);
        QCOMPARE(again->match, LoginMatch::Matches);
        QCOMPARE(keyBytes(again->account), keyBytes(done.account));
    }

    // The window: the Options area protects the logged-in account under a progress window,
    // and from then on the login takes the pass phrase (long, spaces kept), the change of
    // password takes the pass phrase rules, and a wrong one gets the wrong-password message.
    void theOptionsAreaProtectsAndTheLoginTakesThePassPhrase() {
        startSession(u"anna"_s, u"password"_s);
        const QString secret = u"pw <b>topsecret</b> пароль"_s;
        {
            RecordStore store(session->program->database());
            QCOMPARE(store
                         .CreateRecord(state().CurrentAccount,
                                       {u"  Bank  "_s, u"anna"_s, secret, {}, {}, u"Money"_s})
                         .outcome,
                     SaveOutcome::Saved);
        }
        // A day of the journal and a picture (its bytes are what a reader of the file must
        // not find).
        const QString entry = u"Dear diary, the safe code is 4711-ÄÖÜ"_s;
        QVERIFY(writeJournalEntry(session->program->database(), state().UserNameCipher,
                                  journalDateText(QDate(2026, 3, 5)), storedJournalValue(entry),
                                  QDate(2026, 3, 5))
                    .ok());
        const QByteArray pictureBytes = QByteArray("unmistakable picture bytes ").repeated(4000);
        const QString picturePath = session->env.tempBase() + u"holiday-photo.jpg"_s;
        {
            QFile picture(picturePath);
            QVERIFY(picture.open(QIODevice::WriteOnly));
            picture.write(pictureBytes);
        }
        QVERIFY(!AddImages(session->program->database(), state().CurrentAccount, {picturePath})
                     .failure);
        auto* box = main()->findChild<QGroupBox*>(u"fraProtect"_s);
        QVERIFY(box != nullptr);
        const auto text = [this](const QString& name, const QString& value) {
            test::control<QLineEdit>(main(), name)->setText(value);
        };
        const QString phrase = kPhrase + u"x"_s.repeated(60);
        text(u"txtProtectPassword"_s, u"password"_s);
        text(u"txtPassPhrase"_s, phrase);
        text(u"txtPassPhrase2"_s, phrase + u" "_s);
        QCOMPARE(pressed(main(), u"cmdProtect"_s),
                 QStringList{u"Pass phrases entered were not identical"_s});
        QVERIFY(!test::control<QLabel>(main(), u"lblStrength"_s)->text().isEmpty());
        text(u"txtProtectPassword"_s, u"wrong"_s);
        text(u"txtPassPhrase2"_s, phrase);
        QCOMPARE(pressed(main(), u"cmdProtect"_s),
                 QStringList{u"The current password was entered incorrectly"_s});
        text(u"txtProtectPassword"_s, u"password"_s);
        const QStringList told = pressed(main(), u"cmdProtect"_s);
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().startsWith(u"Your data is now protected"_s));
        QVERIFY(state().CurrentAccount.isProtected());
        for (const QString& kept : {secret, entry, u"holiday-photo"_s}) {
            QVERIFY2(!test::databaseHoldsText(state().DatabasePath, kept), qPrintable(kept));
        }
        QVERIFY(!test::databaseHoldsText(state().DatabasePath,
                                         QString::fromLatin1(pictureBytes.left(27))));
        QVERIFY(!test::control<QWidget>(main(), u"txtPassPhrase"_s)->isVisibleTo(box));
        QVERIFY(test::control<QLabel>(main(), u"lblProtected"_s)->isVisibleTo(box));

        // The change of password is a change of pass phrase now.
        text(u"txtOldPassword"_s, phrase);
        text(u"txtNewPassword"_s, u"short"_s);
        text(u"txtNewPassword2"_s, u"short"_s);
        QVERIFY(pressed(main(), u"Command5"_s).first().startsWith(u"The pass phrase must be"_s));
        const QString next = u"  зелёный чай, без сахара  "_s;
        text(u"txtOldPassword"_s, phrase);
        text(u"txtNewPassword"_s, next);
        text(u"txtNewPassword2"_s, next);
        QCOMPARE(pressed(main(), u"Command5"_s), QStringList{u"The password has been changed"_s});

        session->logOut();
        dialogs().clear();
        test::logIn(u"anna"_s, u"password"_s);
        QVERIFY(!state().LoggedIn);
        test::logIn(u"anna"_s, phrase);
        QVERIFY(!state().LoggedIn);
        QCOMPARE(dialogs().texts(), (QStringList{kInvalidLogin, kInvalidLogin}));
        dialogs().clear();
        test::logIn(u"anna"_s, next);
        QVERIFY(state().LoggedIn);
        QVERIFY(state().CurrentAccount.isProtected());
        {
            RecordStore store(session->program->database());
            const auto lines = store.ListRecords(state().CurrentAccount, u"Money"_s);
            QVERIFY(lines.ok());
            QCOMPARE(lines.value().size(), 1);
            const auto shown =
                store.ShowRecord(state().CurrentAccount, lines.value().first().counter);
            QVERIFY(shown.ok() && shown.value());
            QCOMPARE(shown.value()->fields.password, secret);
            const auto day = LoadJournalEntry(session->program->database(), state().CurrentAccount,
                                              journalDateText(QDate(2026, 3, 5)));
            QVERIFY(day.ok() && day.value());
            QCOMPARE(*day.value(), entry);
            const auto pictures = ListImages(session->program->database(), state().CurrentAccount);
            QVERIFY(pictures.ok());
            QCOMPARE(pictures.value().size(), 1);
            QCOMPARE(pictures.value().first().name, u"holiday-photo.jpg"_s);
            const auto bytes = readImageBytes(session->program->database(), state().CurrentAccount,
                                              pictures.value().first().counter);
            QVERIFY(bytes.ok() && bytes.value());
            QCOMPARE(*bytes.value(), pictureBytes);
        }
        // The login box does not keep the pass phrase for the session.
        QVERIFY(test::control<QLineEdit>(test::window(u"frmLogin"_s), u"txtPassword"_s)
                    ->text()
                    .isEmpty());
        endSession();
    }
};

QTEST_MAIN(AccountProtectionTest)
#include "tst_account_protection.moc"
