// The record and category stores and the rules of the vault, without windows.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "crypto/CryptoRC4.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "storage/FileServices.h"
#include "vault/CategoryRules.h"
#include "vault/CategoryStore.h"
#include "vault/CompletionHint.h"
#include "vault/RecordStore.h"

using namespace ks;

namespace {

RecordFields fields(const QString& shortName, const QString& category = QString()) {
    RecordFields f;
    f.shortName = shortName;
    f.userName = QStringLiteral("login-of-") + shortName;
    f.password = QStringLiteral("pw-") + shortName;
    f.description = QStringLiteral("about ") + shortName;
    f.notes = QStringLiteral("notes\nof ") + shortName;
    f.category = category;
    return f;
}

QStringList names(const QList<RecordLine>& lines) {
    QStringList out;
    for (const RecordLine& line : lines) {
        out.append(line.shortName);
    }
    return out;
}

const QStringList kShared = {QStringLiteral("Banking"), QStringLiteral("Email"),
                             QStringLiteral("Internet"), QStringLiteral("Shopping"),
                             QStringLiteral("Work")};

}  // namespace

class VaultStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> env;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<DatabaseAccess> database;
    std::unique_ptr<RecordStore> store;
    QString anna;
    QString bert;

    qint64 create(const QString& owner, const RecordFields& f) {
        const SaveResult result = store->CreateRecord(owner, f);
        if (result.outcome != SaveOutcome::Saved) {
            return -1;
        }
        return result.counter;
    }
    QString storedCategory(qint64 counter) {
        Result<Connection> c = database->open();
        Statement q = c->prepare(QStringLiteral("SELECT Category FROM Logins WHERE Counter = ?1"));
        q.bind(1, counter);
        return q.next() ? q.text(0) : QStringLiteral("<none>");
    }
    QStringList categoriesOf(const QString& owner) {
        Result<QStringList> visible = visibleCategories(*database, owner);
        return visible.ok() ? visible.value() : QStringList{QStringLiteral("<failed>")};
    }

private Q_SLOTS:
    void init() {
        env = std::make_unique<test::TestEnvironment>();
        const QString path = env->root() + QStringLiteral("Data.mdb");
        QVERIFY(QFile::copy(env->templatePath(), path));
        QFile::setPermissions(path, kPrivateFile);
        database = std::make_unique<DatabaseAccess>(path, PassPhrase());
        store = std::make_unique<RecordStore>(*database);
        dialogs.clear();
        setCipherDialogs(&dialogs, QStringLiteral("Keystead"));
        anna = EncryptField(QStringLiteral("anna"));
        bert = EncryptField(QStringLiteral("bert"));
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());  // the cipher never complained
        setCipherDialogs(nullptr, QString());
        store.reset();
        database.reset();
        env.reset();
    }

    void everyActionIsLimitedToTheOwner() {
        const qint64 a1 = create(anna, fields(QStringLiteral("gmail"), QStringLiteral("Email")));
        const qint64 b1 = create(bert, fields(QStringLiteral("bank"), QStringLiteral("Banking")));
        const qint64 a2 = create(anna, fields(QStringLiteral("shop"), QStringLiteral("Shopping")));
        QVERIFY(a1 > 0 && b1 > a1 && a2 > b1);

        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("All Records")).value()),
                 QStringList({QStringLiteral("gmail"), QStringLiteral("shop")}));
        QCOMPARE(names(store->ListRecords(bert, QStringLiteral("aLL rECORDS")).value()),
                 QStringList{QStringLiteral("bank")});
        QCOMPARE(store->ListRecords(anna, QStringLiteral("All Records")).value().first().counter,
                 a1);
        QCOMPARE(names(store->ListRecords(bert, QStringLiteral("Email")).value()), QStringList());

        // Another user's Counter shows, changes and removes nothing.
        QVERIFY(store->ShowRecord(anna, a1).value().has_value());
        QVERIFY(!store->ShowRecord(bert, a1).value().has_value());
        QCOMPARE(store->UpdateRecord(bert, a1, fields(QStringLiteral("stolen"))).outcome,
                 SaveOutcome::NotFound);
        QCOMPARE(store->DeleteRecord(bert, a1).value(), 0);
        QCOMPARE(store->ShowRecord(anna, a1).value()->fields.shortName, QStringLiteral("gmail"));

        QCOMPARE(store->DeleteRecord(anna, a1).value(), 1);
        QVERIFY(!store->ShowRecord(anna, a1).value().has_value());
        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("All Records")).value()),
                 QStringList{QStringLiteral("shop")});
        QCOMPARE(names(store->ListRecords(bert, QStringLiteral("All Records")).value()),
                 QStringList{QStringLiteral("bank")});
    }

    void detailsShowEveryStoredValueDecrypted() {
        RecordFields f;
        f.shortName = QStringLiteral("x");  // creation takes names of any length
        f.userName = QStringLiteral("a");
        f.password = QStringLiteral("pq");
        f.description = QString();
        f.notes = QStringLiteral("line one\nline two");
        const qint64 counter = create(anna, f);
        QVERIFY(counter > 0);
        const StoredRecord shown = *store->ShowRecord(anna, counter).value();
        QCOMPARE(shown.counter, counter);
        QCOMPARE(shown.fields.shortName, QStringLiteral("x"));
        QCOMPARE(shown.fields.userName, QStringLiteral("a"));
        QCOMPARE(shown.fields.password, QStringLiteral("pq"));
        QCOMPARE(shown.fields.description, QString());
        QCOMPARE(shown.fields.notes, QStringLiteral("line one\nline two"));
        QCOMPARE(shown.fields.category, QStringLiteral("Unfiled"));

        // Stored encrypted, the empty field empty, the owner as the owner value.
        Result<Connection> c = database->open();
        Statement q = c->prepare(QStringLiteral(
            "SELECT KeyUserName, ShortName, UserName, Password, Description FROM Logins"));
        QVERIFY(q.next());
        QCOMPARE(q.text(0), anna);
        QCOMPARE(q.text(1), EncryptField(QStringLiteral("x")));
        QCOMPARE(q.text(2).size(), 2);
        QCOMPARE(q.text(3), EncryptField(QStringLiteral("pq")));
        QCOMPARE(q.text(4), QString());
    }

    void shortNamesAreUniqueOverAllUsersIgnoringCase() {
        const qint64 gmail = create(anna, fields(QStringLiteral("Gmail")));
        QVERIFY(gmail > 0);
        QCOMPARE(store->CreateRecord(bert, fields(QStringLiteral("GMAIL"))).outcome,
                 SaveOutcome::ShortNameInUse);
        QCOMPARE(store->CreateRecord(anna, fields(QStringLiteral("  gmail "))).outcome,
                 SaveOutcome::ShortNameInUse);
        QCOMPARE(store->CreateRecord(anna, fields(QStringLiteral("   "))).outcome,
                 SaveOutcome::ShortNameBlank);
        const qint64 bank = create(bert, fields(QStringLiteral("bank account")));
        QVERIFY(bank > 0);

        // Editing is held to the same rule; a record keeps its own name in another case.
        QCOMPARE(store->UpdateRecord(bert, bank, fields(QStringLiteral("gMail"))).outcome,
                 SaveOutcome::ShortNameInUse);
        QCOMPARE(store->ShowRecord(bert, bank).value()->fields.shortName,
                 QStringLiteral("bank account"));
        QCOMPARE(store->UpdateRecord(anna, gmail, fields(QStringLiteral("GMAIL"))).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ShowRecord(anna, gmail).value()->fields.shortName, QStringLiteral("GMAIL"));
        // Names are kept without surrounding spaces.
        QCOMPARE(store->UpdateRecord(bert, bank, fields(QStringLiteral("  savings  "))).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ShowRecord(bert, bank).value()->fields.shortName,
                 QStringLiteral("savings"));
        QCOMPARE(store->CreateRecord(anna, fields(QStringLiteral("Savings"))).outcome,
                 SaveOutcome::ShortNameInUse);

        // An edited name must be longer than 3 characters; nothing changes otherwise.
        QCOMPARE(store->UpdateRecord(bert, bank, fields(QStringLiteral("abc"))).outcome,
                 SaveOutcome::ShortNameTooShort);
        // Counted without the spaces around it, as it is kept.
        QCOMPARE(store->UpdateRecord(bert, bank, fields(QStringLiteral("  ab  "))).outcome,
                 SaveOutcome::ShortNameTooShort);
        QCOMPARE(store->UpdateRecord(bert, bank, fields(QStringLiteral("abcd"))).outcome,
                 SaveOutcome::Saved);
        const StoredRecord edited = *store->ShowRecord(bert, bank).value();
        QCOMPARE(edited.fields.shortName, QStringLiteral("abcd"));
        QCOMPARE(edited.fields.password, QStringLiteral("pw-abcd"));

        // Emptied fields are stored empty; the owner stays.
        RecordFields emptied = fields(QStringLiteral("abcd"));
        emptied.notes.clear();
        emptied.userName.clear();
        QCOMPARE(store->UpdateRecord(bert, bank, emptied).outcome, SaveOutcome::Saved);
        QCOMPARE(store->ShowRecord(bert, bank).value()->fields.notes, QString());
        QCOMPARE(store->ShowRecord(bert, bank).value()->fields.userName, QString());
        QCOMPARE(names(store->ListRecords(bert, QStringLiteral("All Records")).value()),
                 QStringList{QStringLiteral("abcd")});
    }

    void countersBeyondSixteenBits() {
        Result<Connection> c = database->open();
        // Moves the table's numbering far past 32767.
        QVERIFY(c->exec(QStringLiteral("INSERT INTO Logins (Counter, KeyUserName, ShortName) "
                                       "VALUES (70000, 'X', '')"))
                    .ok());
        const qint64 counter = create(anna, fields(QStringLiteral("wide counter")));
        QCOMPARE(counter, qint64(70001));
        QCOMPARE(store->ListRecords(anna, QStringLiteral("All Records")).value().first().counter,
                 qint64(70001));
        QCOMPARE(store->ShowRecord(anna, counter).value()->counter, qint64(70001));
        QCOMPARE(store->UpdateRecord(anna, counter, fields(QStringLiteral("still wide"))).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(store->ShowRecord(anna, counter).value()->fields.shortName,
                 QStringLiteral("still wide"));
        // 70001 narrowed to 16 bits would be 4465: no such record is touched.
        QCOMPARE(store->DeleteRecord(anna, counter).value(), 1);
    }

    void filingUnderCategories() {
        QCOMPARE(categoriesOf(anna), kShared);
        const qint64 empty = create(anna, fields(QStringLiteral("empty"), QString()));
        const qint64 blank = create(anna, fields(QStringLiteral("blank"), QStringLiteral("  ")));
        const qint64 lower =
            create(anna, fields(QStringLiteral("lower"), QStringLiteral("unfiled")));
        QCOMPARE(storedCategory(empty), QStringLiteral("Unfiled"));
        QCOMPARE(storedCategory(blank), QStringLiteral("Unfiled"));
        QCOMPARE(storedCategory(lower), QStringLiteral("Unfiled"));
        QCOMPARE(categoriesOf(anna), kShared);  // "Unfiled" is never stored as a category

        // A known name in another letter case takes the known spelling.
        const qint64 work = create(anna, fields(QStringLiteral("office"), QStringLiteral("work")));
        QCOMPARE(storedCategory(work), QStringLiteral("Work"));

        // A new name becomes a category of this user only.
        const SaveResult games =
            store->CreateRecord(anna, fields(QStringLiteral("steam"), QStringLiteral("Games")));
        QCOMPARE(games.outcome, SaveOutcome::Saved);
        QVERIFY(games.categoryAdded);
        QCOMPARE(categoriesOf(anna), kShared + QStringList{QStringLiteral("Games")});
        QCOMPARE(categoriesOf(bert), kShared);
        const SaveResult again =
            store->CreateRecord(anna, fields(QStringLiteral("origin"), QStringLiteral("GAMES")));
        QVERIFY(!again.categoryAdded);
        QCOMPARE(storedCategory(again.counter), QStringLiteral("Games"));
        QCOMPARE(categoriesOf(anna).count(QStringLiteral("Games")), 1);
        // An edit may file under a new category too.
        const SaveResult moved = store->UpdateRecord(
            anna, work, fields(QStringLiteral("office"), QStringLiteral("Jobs")));
        QVERIFY(moved.categoryAdded);
        QCOMPARE(storedCategory(work), QStringLiteral("Jobs"));

        // The filter compares letter case exactly.
        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("Games")).value()),
                 QStringList({QStringLiteral("steam"), QStringLiteral("origin")}));
        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("games")).value()), QStringList());
        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("Unfiled")).value()),
                 QStringList(
                     {QStringLiteral("empty"), QStringLiteral("blank"), QStringLiteral("lower")}));
    }

    void deletingCategories() {
        QVERIFY(AddCategory(*database, anna, QStringLiteral("Games")).ok());
        QVERIFY(AddCategory(*database, bert, QStringLiteral("Games")).ok());
        const qint64 annaGame =
            create(anna, fields(QStringLiteral("steam"), QStringLiteral("Games")));
        const qint64 bertGame =
            create(bert, fields(QStringLiteral("gog"), QStringLiteral("Games")));
        const qint64 annaMail =
            create(anna, fields(QStringLiteral("gmail"), QStringLiteral("Email")));

        // Shared: refused, nothing deleted or moved.
        const CategoryDeletion shared =
            DeleteCategory(*database, anna, QStringLiteral("Email")).value();
        QVERIFY(shared.shared);
        QCOMPARE(shared.categoriesDeleted, 0);
        QCOMPARE(storedCategory(annaMail), QStringLiteral("Email"));
        QCOMPARE(categoriesOf(anna), kShared + QStringList{QStringLiteral("Games")});

        // Letter case counts when deleting.
        QCOMPARE(DeleteCategory(*database, anna, QStringLiteral("games")).value().categoriesDeleted,
                 0);
        QCOMPARE(storedCategory(annaGame), QStringLiteral("Games"));

        // Own: removed, own records moved to "Unfiled", the other user untouched.
        const CategoryDeletion own =
            DeleteCategory(*database, anna, QStringLiteral("Games")).value();
        QVERIFY(!own.shared);
        QCOMPARE(own.categoriesDeleted, 1);
        QCOMPARE(own.recordsReassigned, 1);
        QCOMPARE(storedCategory(annaGame), QStringLiteral("Unfiled"));
        QCOMPARE(storedCategory(bertGame), QStringLiteral("Games"));
        QCOMPARE(categoriesOf(anna), kShared);
        QCOMPARE(categoriesOf(bert), kShared + QStringList{QStringLiteral("Games")});
    }

    void pureRules() {
        QCOMPARE(restoredFilterIndex(0, 7), 0);
        QCOMPARE(restoredFilterIndex(6, 7), 6);
        QCOMPARE(restoredFilterIndex(7, 7), 0);
        QCOMPARE(restoredFilterIndex(-1, 7), 0);
        QCOMPARE(categoryForNewRecord(QStringLiteral("all records")), QStringLiteral("Unfiled"));
        QCOMPARE(categoryForNewRecord(QStringLiteral("UNFILED")), QStringLiteral("Unfiled"));
        QCOMPARE(categoryForNewRecord(QStringLiteral("Games")), QStringLiteral("Games"));

        const QStringList list = {QStringLiteral("Banking"), QStringLiteral("Work"),
                                  QStringLiteral("Workshop"), QStringLiteral("Email")};
        // Several matches: the last one is offered.
        CompletionHint hint = nextHint({}, list, QStringLiteral("wo"));
        QVERIFY(hint.visible);
        QCOMPARE(hint.caption, QStringLiteral("Workshop"));
        // Typing on: the walk ends on the last match again.
        hint = nextHint(hint, list, QStringLiteral("wor"));
        QCOMPARE(hint.caption, QStringLiteral("Workshop"));
        QVERIFY(hint.visible);
        // The hint already equals what is typed: hidden.
        hint = nextHint({QStringLiteral("Work"), false}, list, QStringLiteral("work"));
        QVERIFY(!hint.visible);
        QCOMPARE(hint.caption, QStringLiteral("Work"));
        // No match leaves the hint as it was; blank text hides it.
        hint = nextHint({QStringLiteral("Email"), true}, list, QStringLiteral("zz"));
        QVERIFY(hint.visible);
        QCOMPARE(hint.caption, QStringLiteral("Email"));
        QVERIFY(!nextHint({QStringLiteral("Email"), true}, list, QStringLiteral("  ")).visible);
        QCOMPARE(adoptHintSpelling(QStringLiteral("wORK"), QStringLiteral("Work")),
                 QStringLiteral("Work"));
        QCOMPARE(adoptHintSpelling(QStringLiteral("Wor"), QStringLiteral("Work")),
                 QStringLiteral("Wor"));
    }

    void eachStoredNameIsDecryptedOncePerRun() {
        for (int i = 0; i < 20; ++i) {
            QVERIFY(create(i % 2 ? anna : bert, fields(QStringLiteral("name %1").arg(i))) > 0);
        }
        RecordStore fresh(*database);
        const int before = FieldCipher().providerCalls();
        QCOMPARE(fresh.ListRecords(anna, QStringLiteral("All Records")).value().size(), 10);
        QCOMPARE(FieldCipher().providerCalls() - before, 10);
        // The uniqueness check decrypts only the names not seen yet, and finds them all.
        QCOMPARE(fresh.CreateRecord(anna, fields(QStringLiteral("NAME 4"))).outcome,
                 SaveOutcome::ShortNameInUse);
        QCOMPARE(FieldCipher().providerCalls() - before, 10 + 3);  // bert's names before "name 4"
        QCOMPARE(fresh.ListRecords(anna, QStringLiteral("All Records")).value().size(), 10);
        QCOMPARE(FieldCipher().providerCalls() - before, 13);
    }

    void aFailingStepLeavesTheDataAsItWas() {
        const qint64 counter =
            create(anna, fields(QStringLiteral("kept"), QStringLiteral("Games")));
        QVERIFY(counter > 0);
        // The engine refuses the second half of each writing operation.
        Result<Connection> c = database->open();
        QVERIFY(c->exec(QStringLiteral("CREATE TRIGGER refuseCategory BEFORE INSERT ON "
                                       "LoginsCategory BEGIN SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        QVERIFY(c->exec(QStringLiteral("CREATE TRIGGER refuseMove BEFORE UPDATE ON Logins BEGIN "
                                       "SELECT RAISE(ABORT, 'refused'); END"))
                    .ok());
        // A record filed under a new category: the row is written, the category is refused.
        const SaveResult created =
            store->CreateRecord(anna, fields(QStringLiteral("new one"), QStringLiteral("Fresh")));
        QCOMPARE(created.outcome, SaveOutcome::DatabaseFailed);
        QVERIFY(created.status.detail.contains(QStringLiteral("refused")));
        QCOMPARE(names(store->ListRecords(anna, QStringLiteral("All Records")).value()),
                 QStringList{QStringLiteral("kept")});
        QCOMPARE(store->UpdateRecord(anna, counter, fields(QStringLiteral("changed"))).outcome,
                 SaveOutcome::DatabaseFailed);
        QCOMPARE(store->ShowRecord(anna, counter).value()->fields.shortName,
                 QStringLiteral("kept"));
        // A category whose records cannot be moved stays, with its records.
        QVERIFY(!DeleteCategory(*database, anna, QStringLiteral("Games")).ok());
        QCOMPARE(categoriesOf(anna), kShared + QStringList{QStringLiteral("Games")});
        QCOMPARE(storedCategory(counter), QStringLiteral("Games"));

        // A database that is gone is reported, not shown as empty.
        database->CloseAllDatabaseObjects();
        QVERIFY(QFile::remove(env->root() + QStringLiteral("Data.mdb")));
        QVERIFY(!store->ListRecords(anna, QStringLiteral("All Records")).ok());
        QVERIFY(!store->ShowRecord(anna, counter).ok());
        QVERIFY(!store->DeleteRecord(anna, counter).ok());
        QVERIFY(!visibleCategories(*database, anna).ok());
    }
};

QTEST_GUILESS_MAIN(VaultStoreTest)
#include "tst_vault_store.moc"
