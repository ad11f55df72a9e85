// The record and category stores of the vault without windows: values, owners, the uniqueness
// of short names whatever else writes, and a failing step.
#include <QtTest>

#include "RecordStoreFixture.h"
#include "crypto/PassPhrase.h"
#include "storage/FileServices.h"
#include "vault/CategoryStore.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::fields;
using Outcomes = QList<SaveOutcome>;

namespace {

const QStringList kShared = {u"Banking"_s, u"Email"_s, u"Internet"_s, u"Shopping"_s, u"Work"_s};

}  // namespace

class RecordStoreTest : public test::RecordStoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { startStore(); }
    void cleanup() { endStore(); }

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
};

QTEST_GUILESS_MAIN(RecordStoreTest)
#include "tst_record_store.moc"
