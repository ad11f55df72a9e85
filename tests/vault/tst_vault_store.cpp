// The record and category stores of the vault, and its password generator, without windows.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/FileServices.h"
#include "vault/CategoryStore.h"
#include "vault/PasswordGenerator.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;
using Outcomes = QList<SaveOutcome>;

namespace {

RecordFields fields(const QString& name, const QString& category = {}) {
    return {name, u"u-"_s + name, u"p-"_s + name, u"d-"_s + name, u"n\n"_s + name, category};
}

const QStringList kShared = {u"Banking"_s, u"Email"_s, u"Internet"_s, u"Shopping"_s, u"Work"_s};

// Which kinds of character a password holds: upper case, lower case, digits, symbols.
QList<bool> kindsIn(const QString& password) {
    QList<bool> kinds(4, false);
    for (QChar c : password) {
        kinds[c.isUpper() ? 0 : c.isLower() ? 1 : c.isDigit() ? 2 : 3] = true;
    }
    return kinds;
}

}  // namespace

class VaultStoreTest : public test::DatabaseTest {
    Q_OBJECT

    test::ScriptedDialogs dialogs;
    std::unique_ptr<RecordStore> store;
    const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);

    qint64 create(const QString& owner, const RecordFields& f) {
        const SaveResult result = store->CreateRecord(owner, f);
        return result.outcome == SaveOutcome::Saved ? result.counter : -1;
    }
    // What anna's attempt to create a record of this name comes to.
    SaveOutcome creating(const QString& name) {
        return store->CreateRecord(anna, fields(name)).outcome;
    }
    // Anna's records a search finds, in this category.
    QStringList found(const QString& search, const QString& category = u"All Records"_s) {
        return names(anna, category, search);
    }
    QStringList names(const QString& owner, const QString& category = u"All Records"_s,
                      const QString& search = {}) {
        const Result<QList<RecordLine>> listed = store->ListRecords(owner, category, search);
        QStringList out;
        for (const RecordLine& line : listed.value()) {
            out.append(line.shortName);
        }
        return out;
    }

private Q_SLOTS:
    void init() {
        startDatabase();
        store = std::make_unique<RecordStore>(*database);
        setCipherDialogs(&dialogs, u"Keystead"_s);
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());  // the cipher never complained
        setCipherDialogs(nullptr, QString());
        store.reset();
        endDatabase();
    }

    void everyValueComesBackToItsOwnerOnly() {
        // Short values are shown, empty ones stay empty, the short name is trimmed, and Counters
        // keep all their bits.
        QVERIFY(database->open()->exec(u"INSERT INTO Logins (Counter) VALUES (70000)"_s).ok());
        const RecordFields f{u" xray "_s, u"a"_s, u"pq"_s, {}, u"line one\nline two"_s, {}};
        const qint64 counter = create(anna, f);
        QCOMPARE(counter, qint64(70001));
        QCOMPARE(store->ListRecords(anna, u"All Records"_s).value().first().counter, counter);
        const RecordFields shown = store->ShowRecord(anna, counter).value()->fields;
        QCOMPARE(QStringList({shown.shortName, shown.userName, shown.password, shown.description,
                              shown.notes, shown.category}),
                 QStringList({u"xray"_s, u"a"_s, u"pq"_s, {}, f.notes, u"Unfiled"_s}));
        {  // stored encrypted; an empty value stays empty
            Statement q = database->open()->prepare(
                u"SELECT UserName || '|' || Description FROM Logins WHERE Counter = 70001"_s);
            QVERIFY(q.next());
            QCOMPARE(q.text(0), EncryptField(u"a"_s) + u'|');
        }
        // An edit may file the record under a new category, which becomes the user's.
        const SaveResult moved =
            store->UpdateRecord(anna, counter, fields(u"still wide"_s, u"Jobs"_s));
        QVERIFY(moved.outcome == SaveOutcome::Saved && moved.categoryAdded);
        QCOMPARE(names(anna, u"Jobs"_s), QStringList{u"still wide"_s});
        QCOMPARE(visibleCategories(*database, anna).value(), kShared + QStringList{u"Jobs"_s});
        QCOMPARE(store->DeleteRecord(anna, counter).value(), 1);  // not record 4465

        // Records are reached by Counter and owner together, never by another user.
        const qint64 a1 = create(anna, fields(u"gmail"_s, u"Email"_s));
        QVERIFY(create(bert, fields(u"bank"_s, u"Email"_s)) > a1);
        QVERIFY(create(anna, fields(u"shop"_s)) > a1);
        QCOMPARE(names(anna), QStringList({u"gmail"_s, u"shop"_s}));
        QCOMPARE(names(bert, u"aLL rECORDS"_s), QStringList{u"bank"_s});
        QVERIFY(!store->ShowRecord(bert, a1).value().has_value());
        QCOMPARE(store->UpdateRecord(bert, a1, fields(u"stolen"_s)).outcome, SaveOutcome::NotFound);
        QCOMPARE(store->DeleteRecord(bert, a1).value(), 0);
        QCOMPARE(store->DeleteRecord(anna, a1).value(), 1);
        QCOMPARE(names(anna) + names(bert), QStringList({u"shop"_s, u"bank"_s}));
    }

    void shortNamesAreUniqueOverAllUsersIgnoringCase() {
        const qint64 gmail = create(anna, fields(u"Gmail"_s));
        const qint64 bank = create(bert, fields(u"bank account"_s));
        const RecordFields savings{u"  savings  "_s, u"u"_s, u"p"_s, {}, {}, {}};
        RecordStore fresh(*database);  // has decrypted no name yet
        const Outcomes outcomes = {
            store->CreateRecord(bert, fields(u"GMAIL"_s)).outcome,
            store->CreateRecord(anna, fields(u"  gmail "_s)).outcome,
            store->CreateRecord(anna, fields(u"   "_s)).outcome,
            // Names need more than 3 characters, counted without the spaces around, whether
            // the record is new or edited.
            store->CreateRecord(anna, fields(u"ATM"_s)).outcome,
            store->CreateRecord(anna, fields(u"  atm  "_s)).outcome,
            store->UpdateRecord(anna, gmail, fields(u"GMAIL"_s)).outcome,  // its own name
            store->UpdateRecord(bert, bank, savings).outcome,
            fresh.CreateRecord(anna, fields(u"Savings"_s)).outcome,
            store->UpdateRecord(bert, bank, fields(u"gMail"_s)).outcome,
            store->UpdateRecord(bert, bank, fields(u"abc"_s)).outcome,
            store->UpdateRecord(bert, bank, fields(u"  abc  "_s)).outcome};
        using enum SaveOutcome;
        QCOMPARE(outcomes,
                 Outcomes({ShortNameInUse, ShortNameInUse, ShortNameBlank, ShortNameTooShort,
                           ShortNameTooShort, Saved, Saved, ShortNameInUse, ShortNameInUse,
                           ShortNameTooShort, ShortNameTooShort}));
        // Kept trimmed; the refused edits changed nothing and the refused names were not added.
        QCOMPARE(names(anna) + names(bert), QStringList({u"GMAIL"_s, u"savings"_s}));
        QCOMPARE(store->ShowRecord(bert, bank).value()->fields.notes, QString());
    }

    // The check of a save is answered from what this session knows of the table; whatever
    // else writes the table in the meantime is seen at the next save.
    void shortNamesStayUniqueWhateverElseWrites() {
        using enum SaveOutcome;
        QCOMPARE(creating(u"first"_s), Saved);
        const qint64 second = create(anna, fields(u"second"_s));
        QVERIFY(second > 0);

        // Another running copy (its own connection) adds a name, then renames it.
        DatabaseAccess other(database->path(), PassPhrase());
        RecordStore otherStore(other);
        const qint64 foreign = otherStore.CreateRecord(bert, fields(u"Third"_s)).counter;
        QVERIFY(foreign > 0);
        QCOMPARE(creating(u"THIRD"_s), ShortNameInUse);
        QCOMPARE(otherStore.UpdateRecord(bert, foreign, fields(u"fourth"_s)).outcome, Saved);
        QCOMPARE(creating(u"third"_s), Saved);
        QCOMPARE(creating(u" Fourth "_s), ShortNameInUse);

        // A write of this session that is not a save: a deletion, or a raw statement.
        QCOMPARE(store->DeleteRecord(anna, second).value(), 1);
        QCOMPARE(creating(u"second"_s), Saved);
        {
            Result<Connection> connection = database->open();
            QVERIFY(
                connection->exec(u"DELETE FROM Logins WHERE KeyUserName = '%1'"_s.arg(bert)).ok());
        }
        QCOMPARE(creating(u"fourth"_s), Saved);

        // Names another program stored with white space around them, in any script, are
        // compared as the editor's are.
        {
            Result<Connection> connection = database->open();
            for (const QString& name : {u"\tgmail\n"_s, u" Straße\r"_s, u"École"_s}) {
                QVERIFY(connection
                            ->exec(u"INSERT INTO Logins (KeyUserName, ShortName) VALUES "
                                   "('%1', '%2')"_s.arg(bert, EncryptField(name)))
                            .ok());
            }
        }
        for (const QString& taken : {u"GMAIL"_s, u"strasse"_s, u" éCOLE"_s}) {
            QCOMPARE(creating(taken), ShortNameInUse);
        }
        QCOMPARE(creating(u"gmail two"_s), Saved);

        // An edit frees its old name and takes the new one.
        const qint64 edited = create(anna, fields(u"fifth"_s));
        QCOMPARE(store->UpdateRecord(anna, edited, fields(u"sixth"_s)).outcome, Saved);
        QCOMPARE(creating(u"Fifth"_s), Saved);
        QCOMPARE(creating(u"SIXTH"_s), ShortNameInUse);
        QCOMPARE(store->UpdateRecord(anna, edited, fields(u"sixth "_s)).outcome, Saved);
    }

    // A search finds the owner's records by short name, user name or description, in any letter
    // case, within the listed category; never by notes or password, never another user's.
    void searchNarrowsTheListing() {
        create(anna, {u"Bank of Ærø"_s, u"ANNA.K"_s, u"pw-secret"_s, u"Savings <b>"_s, u"x"_s, {}});
        create(anna,
               {u"Webmail"_s, u"anna"_s, u"p"_s, u"Спасибо почта"_s, u"secret"_s, u"Email"_s});
        create(anna, {u"Gym"_s + QString(1000, u'x'), {}, {}, {}, {}, u"Email"_s});
        create(bert, {u"Bert's ærø bank"_s, u"bert"_s, u"p"_s, u"anna's"_s, {}, {}});
        QCOMPARE(found(u"ærø"_s), QStringList{u"Bank of Ærø"_s});
        QCOMPARE(found(u"anna"_s), QStringList({u"Bank of Ærø"_s, u"Webmail"_s}));
        QCOMPARE(found(u"anna"_s, u"Email"_s), QStringList{u"Webmail"_s});
        QCOMPARE(found(u"ПОЧТА"_s), QStringList{u"Webmail"_s});
        QCOMPARE(found(u"<B>"_s), QStringList{u"Bank of Ærø"_s});
        QCOMPARE(found(u"XXXX"_s).size(), 1);
        QCOMPARE(found(u"secret"_s), QStringList());
        QCOMPARE(found(u"bert"_s), QStringList());
        QCOMPARE(found(u"mail\nanna"_s), QStringList());
        QCOMPARE(names(anna).size(), 3);
        // Each key narrows the last result; what was saved meanwhile is still found.
        QCOMPARE(found(u"a"_s), QStringList({u"Bank of Ærø"_s, u"Webmail"_s}));
        create(anna, {u"Annual pass"_s, {}, {}, {}, {}, {}});
        QCOMPARE(found(u"nn"_s), QStringList({u"Bank of Ærø"_s, u"Webmail"_s, u"Annual pass"_s}));
        QCOMPARE(found(u"Annu"_s), QStringList{u"Annual pass"_s});
        QCOMPARE(found(u"ann"_s, u"Email"_s), QStringList{u"Webmail"_s});
        QCOMPARE(found(u"anna"_s, u"Email"_s), QStringList{u"Webmail"_s});
        QCOMPARE(found(u"an"_s, u"Email"_s), QStringList{u"Webmail"_s});
    }

    // Letter case is folded fully, as each language folds it, and any run of white space
    // matches any other.
    void searchFoldsCaseFullyAndSpaces() {
        create(anna, {u"Große Straße"_s, u"g"_s, {}, u"the end\nstart"_s, {}, {}});
        create(anna, {u"İstanbul Bank"_s, u"ΣΊΣΥΦΟΣ"_s, {}, u"a\u00A0 \tb"_s, {}, {}});
        create(anna, {u"Gross"_s, {}, {}, {}, {}, {}});
        QCOMPARE(found(u"strasse"_s), QStringList{u"Große Straße"_s});
        QCOMPARE(found(u"GROSSE STRASSE"_s), QStringList{u"Große Straße"_s});
        QCOMPARE(found(u"ß"_s), QStringList({u"Große Straße"_s, u"Gross"_s}));
        QCOMPARE(found(u"istanbul"_s), QStringList{u"İstanbul Bank"_s});
        QCOMPARE(found(u"İSTANBUL bank"_s), QStringList{u"İstanbul Bank"_s});
        QCOMPARE(found(u"σίσυφος"_s), QStringList{u"İstanbul Bank"_s});
        QCOMPARE(found(u"end start"_s), QStringList{u"Große Straße"_s});
        QCOMPARE(found(u"end\t  start"_s), QStringList{u"Große Straße"_s});
        QCOMPARE(found(u"a b"_s), QStringList{u"İstanbul Bank"_s});
        QCOMPARE(found(u"endstart"_s), QStringList());
    }

    // What this session keeps of the listing and of the searched texts follows its own saves
    // and deletions, and is read again after any other write, by another running copy too.
    void listingAndSearchFollowEveryWrite() {
        const qint64 mail = create(anna, fields(u"mail box"_s, u"Email"_s));
        QCOMPARE(found(u"u-mail"_s, u"Email"_s), QStringList{u"mail box"_s});
        QCOMPARE(
            store->UpdateRecord(anna, mail, {u"post box"_s, u"new user"_s, {}, {}, {}, u"Work"_s})
                .outcome,
            SaveOutcome::Saved);
        QCOMPARE(names(anna, u"Email"_s), QStringList());
        QCOMPARE(found(u"NEW USER"_s, u"Work"_s), QStringList{u"post box"_s});
        QCOMPARE(found(u"u-mail"_s, u"Work"_s), QStringList());

        DatabaseAccess other(database->path(), PassPhrase());
        RecordStore otherStore(other);
        const qint64 foreign = otherStore.CreateRecord(anna, fields(u"from afar"_s)).counter;
        QCOMPARE(found(u"afar"_s), QStringList{u"from afar"_s});
        QCOMPARE(otherStore.UpdateRecord(anna, foreign, fields(u"renamed far"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(names(anna), QStringList({u"post box"_s, u"renamed far"_s}));
        QCOMPARE(found(u"d-renamed"_s), QStringList{u"renamed far"_s});
        QCOMPARE(otherStore.DeleteRecord(anna, mail).value(), 1);
        QCOMPARE(found(u"box"_s), QStringList());
        QCOMPARE(store->DeleteRecord(anna, foreign).value(), 1);
        QCOMPARE(names(anna), QStringList());
        // Another user's listing is never answered from this one's.
        QVERIFY(create(bert, fields(u"bert's"_s)) > 0);
        QCOMPARE(names(anna) + names(bert, u"All Records"_s, u"u-"_s), QStringList{u"bert's"_s});
    }

    // Reading ahead of a search goes a few records at a time; a write in between, by another
    // copy or by this session, makes it start again, and a search finishes what is left.
    void readingAheadOfASearchMissesNoWrite() {
        QList<qint64> counters;
        for (const char* name : {"alpha one", "alpha two", "alpha three", "alpha four"}) {
            counters.append(create(anna, fields(QString::fromLatin1(name))));
        }
        QCOMPARE(store->ReadSearchAhead(anna, 2).value(), false);
        // Another copy changes a record that was already read.
        DatabaseAccess other(database->path(), PassPhrase());
        RecordStore otherStore(other);
        QCOMPARE(otherStore.UpdateRecord(anna, counters.first(), fields(u"omega one"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ReadSearchAhead(anna, 2).value(), false);
        QCOMPARE(found(u"d-omega"_s), QStringList{u"omega one"_s});
        QCOMPARE(found(u"d-alpha"_s).size(), 3);
        QCOMPARE(store->ReadSearchAhead(anna, 2).value(), true);  // nothing left to read
        // This session's own write while reading ahead.
        create(anna, fields(u"alpha five"_s));
        QVERIFY(store->ReadSearchAhead(anna, 1).ok());
        QCOMPARE(store->UpdateRecord(anna, counters.at(1), fields(u"omega two"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(found(u"d-omega"_s), QStringList({u"omega one"_s, u"omega two"_s}));
        // Saves and deletions of this session go into the reading as it stands, before and
        // after where it has come to: it goes on from there.
        QCOMPARE(otherStore.UpdateRecord(anna, counters.at(2), fields(u"alpha 3"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ReadSearchAhead(anna, 2).value(), false);
        QCOMPARE(store->UpdateRecord(anna, counters.at(0), fields(u"kappa one"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->DeleteRecord(anna, counters.at(1)).value(), 1);
        QCOMPARE(store->UpdateRecord(anna, counters.at(3), fields(u"kappa four"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ReadSearchAhead(anna, 4).value(), true);  // three were left
        QCOMPARE(found(u"d-kappa"_s), QStringList({u"kappa one"_s, u"kappa four"_s}));
        QCOMPARE(found(u"d-omega"_s), QStringList());
        QCOMPARE(store->ReadSearchAhead(bert, 10).value(), true);  // bert has no record
    }

    // The short names a save checks are read ahead a few records at a time, by a session that
    // has checked none yet; a write in between, by another copy or by this session, makes the
    // reading start again, and a save's check finishes what is left.
    void readingShortNamesAheadMissesNoWrite() {
        QList<qint64> counters;
        for (const char* name : {"alpha one", "alpha two", "alpha three", "alpha four"}) {
            counters.append(create(anna, fields(QString::fromLatin1(name))));
        }
        RecordStore fresh(*database);
        QCOMPARE(fresh.ReadShortNamesAhead(2).value(), false);
        // Another copy renames a record that was already read.
        DatabaseAccess other(database->path(), PassPhrase());
        RecordStore otherStore(other);
        QCOMPARE(otherStore.UpdateRecord(anna, counters.first(), fields(u"omega one"_s)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(fresh.ReadShortNamesAhead(2).value(), false);
        using enum SaveOutcome;
        const Outcomes outcomes = {fresh.CreateRecord(bert, fields(u"OMEGA ONE"_s)).outcome,
                                   fresh.CreateRecord(bert, fields(u"Alpha One"_s)).outcome,
                                   fresh.CreateRecord(bert, fields(u"alpha four"_s)).outcome};
        QCOMPARE(outcomes, Outcomes({ShortNameInUse, Saved, ShortNameInUse}));
        QCOMPARE(fresh.ReadShortNamesAhead(2).value(), true);  // nothing left to read
        // This session's own deletion while another session reads ahead.
        RecordStore reader(*database);
        QCOMPARE(reader.ReadShortNamesAhead(1).value(), false);
        QCOMPARE(reader.DeleteRecord(anna, counters.at(1)).value(), 1);
        QCOMPARE(reader.ReadShortNamesAhead(1).value(), false);
        QCOMPARE(reader.CreateRecord(bert, fields(u"ALPHA TWO"_s)).outcome, Saved);
        QCOMPARE(reader.CreateRecord(bert, fields(u"alpha three"_s)).outcome, ShortNameInUse);
    }

    void aFailingStepLeavesTheDataAsItWas() {
        const qint64 counter = create(anna, fields(u"kept"_s, u"Games"_s));
        QVERIFY(database->open()
                    ->exec(u"CREATE TRIGGER noCategory BEFORE INSERT ON LoginsCategory BEGIN "
                           "SELECT RAISE(ABORT, 'refused'); END; CREATE TRIGGER noMove BEFORE "
                           "UPDATE ON Logins BEGIN SELECT RAISE(ABORT, 'refused'); END"_s)
                    .ok());
        // The record row is written, its new category is refused: neither stays.
        const SaveResult created = store->CreateRecord(anna, fields(u"new one"_s, u"Fresh"_s));
        QCOMPARE(created.outcome, SaveOutcome::DatabaseFailed);
        QVERIFY(created.status.detail.contains(u"refused"_s));
        QCOMPARE(store->UpdateRecord(anna, counter, fields(u"changed"_s)).outcome,
                 SaveOutcome::DatabaseFailed);
        QCOMPARE(names(anna), QStringList{u"kept"_s});
        // A category whose records cannot be moved stays, with its records.
        QVERIFY(!DeleteCategory(*database, anna, u"Games"_s, {}).ok());
        QCOMPARE(visibleCategories(*database, anna).value(), kShared + QStringList{u"Games"_s});
        QCOMPARE(store->ShowRecord(anna, counter).value()->fields.category, u"Games"_s);

        // A database that is gone is reported, not shown as empty.
        database->CloseAllDatabaseObjects();
        QVERIFY(QFile::remove(env->databasePath()));
        QVERIFY(!store->ListRecords(anna, u"All Records"_s).ok() &&
                !store->ShowRecord(anna, counter).ok() &&
                !store->DeleteRecord(anna, counter).ok() &&
                !visibleCategories(*database, anna).ok());
    }

    // The password generator: lengths, character kinds, refusals and freshness of its draws.
    void kindsLengthsRefusalsAndStrength() {
        const QList<PasswordClasses> choices = {
            {true, true, true, true},   {true, false, false, false}, {false, false, true, false},
            {false, true, false, true}, {true, true, true, false},
        };
        for (const PasswordClasses& classes : choices) {
            // The shortest possible password still holds one of each chosen kind.
            for (int length : {classes.count(), 4, 20, kLongestGeneratedPassword}) {
                for (int round = 0; round < 50; ++round) {
                    const std::optional<QString> password = generatePassword(length, classes);
                    QVERIFY(password.has_value());
                    QCOMPARE(password->size(), length);
                    QCOMPARE(kindsIn(*password), QList<bool>({classes.upper, classes.lower,
                                                              classes.digits, classes.symbols}));
                    for (QChar c : *password) {
                        QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f &&
                                     c != QLatin1Char('"') && c != QLatin1Char('\'') &&
                                     c != QLatin1Char('\\'),
                                 qPrintable(*password));
                    }
                }
            }
        }
        // Impossible requests are refused; the strength of possible ones follows the alphabet.
        QVERIFY(!generatePassword(20, {false, false, false, false}).has_value());
        QVERIFY(!generatePassword(3, {true, true, true, true}).has_value());
        QVERIFY(!generatePassword(0, {true, false, false, false}).has_value());
        QVERIFY(!generatePassword(kLongestGeneratedPassword + 1, {}).has_value());
        QCOMPARE(passwordStrengthBits(20, {false, false, false, false}), 0);
        // 10 digits: log2(10) = 3.32 bits a character.
        QCOMPARE(passwordStrengthBits(10, {false, false, true, false}), 33);
        // 26 + 26 + 10 = 62 letters and digits: 5.95 bits a character.
        QCOMPARE(passwordStrengthBits(20, {true, true, true, false}), 119);
        QVERIFY(passwordStrengthBits(20, {}) > passwordStrengthBits(20, {true, true, true, false}));
    }

    void drawsDoNotRepeat() {
        QSet<QString> seen;
        for (int i = 0; i < 10000; ++i) {
            seen.insert(*generatePassword(kDefaultPasswordLength, {}));
        }
        QCOMPARE(seen.size(), 10000);
        // Even short passwords are spread over the alphabet: 2,000 draws of 6 digits (a
        // million values) almost never repeat more than a few times.
        QSet<QString> shortOnes;
        for (int i = 0; i < 2000; ++i) {
            shortOnes.insert(*generatePassword(6, {false, false, true, false}));
        }
        QVERIFY(shortOnes.size() > 1980);
    }
};

QTEST_GUILESS_MAIN(VaultStoreTest)
#include "tst_vault_store.moc"
