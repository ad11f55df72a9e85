// The vault of a protected account: its records and categories sealed with its key, beside
// accounts in the shared format, and the conversion of an account's records to the sealed form.
#include <QtTest>

#include "ProtectedAccount.h"
#include "ScriptedDialogs.h"
#include "StoredBytes.h"
#include "TestEnvironment.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "protection/TextSeal.h"
#include "vault/CategoryStore.h"
#include "vault/RecordSealing.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QStringList kShared = {u"Banking"_s, u"Email"_s, u"Internet"_s, u"Shopping"_s, u"Work"_s};

// Values a user may well type: long, not Latin, spaced, marked up.
RecordFields hostile(const QString& name, const QString& category) {
    return {u"  "_s + name + u" <b>&amp;</b>  "_s,
            u"  Ώλα  Ωμέγα  "_s + name,
            u"p\"'<>&\t"_s + name + QString(1000, u'€'),
            u"Παράδειγμα δοκιμής "_s.repeated(50) + name,
            u"line one\n  <script>alert(1)</script>  \n"_s + name,
            category};
}

QStringList valuesOf(const RecordFields& f) {
    return {f.shortName, f.userName, f.password, f.description, f.notes, f.category};
}

// Every value column of the rows of one table, as stored, with the row's identity first.
QStringList storedRows(Connection& connection, const QString& sql) {
    QStringList rows;
    Statement query = connection.prepare(sql);
    while (query.next()) {
        rows << QString::fromLatin1(query.blob(0).toHex()) + u'|' + query.text(1);
    }
    return rows;
}

}  // namespace

class VaultProtectedTest : public test::DatabaseTest {
    Q_OBJECT

    test::ScriptedDialogs dialogs;
    std::unique_ptr<RecordStore> store;
    const QString anna = EncryptField(u"anna"_s);

    qint64 create(const Account& account, const RecordFields& f) {
        const SaveResult result = store->CreateRecord(account, f);
        return result.outcome == SaveOutcome::Saved ? result.counter : -1;
    }
    QStringList names(const Account& account, const QString& category = u"All Records"_s,
                      const QString& search = {}) {
        const Result<QList<RecordLine>> listed = store->ListRecords(account, category, search);
        QStringList out;
        for (const RecordLine& line : listed.value()) {
            out.append(line.shortName);
        }
        return out;
    }
    QStringList shown(const Account& account, qint64 counter) {
        const std::optional<StoredRecord> record = store->ShowRecord(account, counter).value();
        return record ? valuesOf(record->fields) : QStringList();
    }
    // Changes one stored value of the table directly, as damage or a hostile edit would.
    void setStored(const QString& table, const QString& column, qint64 key, const QString& value) {
        const QString keyColumn = table == u"Logins"_s ? u"Counter"_s : u"Id"_s;
        Statement update = database->open()->prepare(
            u"UPDATE %1 SET %2 = ?1 WHERE %3 = ?2"_s.arg(table, column, keyColumn));
        update.bind(1, value).bind(2, key);
        const DbStatus status = update.run();
        QVERIFY2(status.ok(), qPrintable(status.detail));
    }
    QString stored(const QString& table, const QString& column, qint64 key) {
        const QString keyColumn = table == u"Logins"_s ? u"Counter"_s : u"Id"_s;
        Statement query = database->open()->prepare(
            u"SELECT %1 FROM %2 WHERE %3 = ?1"_s.arg(column, table, keyColumn));
        query.bind(1, key);
        return query.next() ? query.text(0) : QString();
    }

private Q_SLOTS:
    void init() {
        startDatabase();
        store = std::make_unique<RecordStore>(*database);
        setCipherDialogs(&dialogs, u"Keystead"_s);
    }
    void cleanup() {
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
        store.reset();
        endDatabase();
    }

    // A protected account's records and categories come back as typed (the short name trimmed,
    // every other value as the shared format keeps it), list, filter and search as a plain
    // account's do, and nothing of them is readable in the file.
    void protectedRecordsRoundTrip() {
        const Account carol = test::protectedAccount(*database, u"carol"_s);
        const RecordFields typed = hostile(u"Ключ 密码"_s, u"Ταξίδια <i>"_s);
        const SaveResult created = store->CreateRecord(carol, typed);
        QVERIFY(created.outcome == SaveOutcome::Saved && created.categoryAdded);
        RecordFields annas = typed;  // the same name: neither reads the other's
        annas.category = u"Anna <own>"_s;
        const qint64 plain = create(anna, annas);
        QVERIFY(plain > 0);
        QCOMPARE(shown(carol, created.counter).mid(0, 5), shown(anna, plain).mid(0, 5));
        QCOMPARE(shown(carol, created.counter).first(), typed.shortName.trimmed());
        QCOMPARE(shown(carol, created.counter).mid(1), valuesOf(typed).mid(1));
        QCOMPARE(visibleCategories(*database, carol).value(),
                 kShared + QStringList{typed.category});
        const QString name = typed.shortName.trimmed();
        QCOMPARE(names(carol, typed.category), QStringList{name});
        QCOMPARE(names(carol, u"Work"_s), QStringList());
        QCOMPARE(names(carol, u"All Records"_s, u"ΠΑΡΆΔΕΙΓΜΑ   δοκιμής"_s), QStringList{name});
        QCOMPARE(names(carol, u"All Records"_s, u"ώλα ωμέγα"_s), QStringList{name});
        QCOMPARE(names(carol, u"All Records"_s, u"alert"_s), QStringList());  // notes not searched

        // An edit keeps the row's identity; a shared category is filed as the shared one.
        const RecordFields edited = hostile(u"Ülkü İstanbul"_s, u"work"_s);
        QCOMPARE(store->UpdateRecord(carol, created.counter, edited).outcome, SaveOutcome::Saved);
        QCOMPARE(names(carol, u"Work"_s), QStringList{edited.shortName.trimmed()});
        QCOMPARE(shown(carol, created.counter).last(), u"Work"_s);
        QCOMPARE(names(carol, u"All Records"_s, u"istanbul"_s),
                 QStringList{edited.shortName.trimmed()});
        // The own category goes; the records filed under it are unfiled, still sealed.
        const qint64 second = create(carol, hostile(u"второй"_s, typed.category));
        const auto deleted = DeleteCategory(*database, carol, typed.category, {});
        QVERIFY(deleted.ok());
        QCOMPARE(deleted.value().categoriesDeleted, 1);
        QCOMPARE(deleted.value().recordsReassigned, 1);
        QCOMPARE(visibleCategories(*database, carol).value(), kShared);
        QCOMPARE(shown(carol, second).last(), u"Unfiled"_s);
        QVERIFY(looksSealed(stored(u"Logins"_s, u"Category"_s, second)));
        QVERIFY(AddCategory(*database, carol, u"Ταξίδια <i>"_s).ok());
        QCOMPARE(visibleCategories(*database, carol).value(),
                 kShared + QStringList{typed.category});

        // Nothing typed is in the file, neither as typed nor in the shared cipher, except the
        // plain account's copy, which is found (so the search of the file works).
        const QString path = env->databasePath();
        QStringList found;
        for (const RecordFields& f : {edited, hostile(u"второй"_s, typed.category)}) {
            for (const QString& value : valuesOf(f).mid(0, 5) + QStringList{typed.category}) {
                for (const QString& form : {value, value.trimmed(), EncryptField(value)}) {
                    if (test::databaseHoldsText(path, form)) {
                        found << form.left(40);
                    }
                }
            }
        }
        QCOMPARE(found, QStringList());
        QVERIFY(test::databaseHoldsText(path, EncryptField(typed.description)));
        QVERIFY(test::databaseHoldsText(path, annas.category));
    }

    // A value changed in the file, moved to another row or column, or opened with another key
    // shows as damaged; the other values and records still show, list and search.
    void damagedValuesShowAsDamaged() {
        const Account carol = test::protectedAccount(*database, u"carol"_s);
        const qint64 first = create(carol, hostile(u"first"_s, u"Own"_s));
        const qint64 second = create(carol, hostile(u"second"_s, {}));
        const qint64 third = create(carol, hostile(u"third"_s, {}));
        QString flipped = stored(u"Logins"_s, u"Password"_s, first);
        flipped[20] = flipped[20] == u'A' ? u'B' : u'A';
        setStored(u"Logins"_s, u"Password"_s, first, flipped);
        setStored(u"Logins"_s, u"ShortName"_s, third, stored(u"Logins"_s, u"ShortName"_s, second));
        setStored(u"Logins"_s, u"Description"_s, third, stored(u"Logins"_s, u"UserName"_s, third));
        setStored(u"Logins"_s, u"Category"_s, third, stored(u"Logins"_s, u"Category"_s, second));
        Result<Connection> connection = database->open();
        const qint64 own = test::countOf(
            connection.value(),
            u"SELECT Id FROM LoginsCategory WHERE UserName = '%1'"_s.arg(carol.owner));
        setStored(u"LoginsCategory"_s, u"CategoryName"_s, own,
                  stored(u"Logins"_s, u"Category"_s, first));

        store = std::make_unique<RecordStore>(*database);  // nothing read yet
        const QString damaged = damagedValueText();
        QStringList expected = valuesOf(hostile(u"first"_s, u"Own"_s));
        expected[0] = expected[0].trimmed();
        expected[2] = damaged;
        QCOMPARE(shown(carol, first), expected);
        expected = valuesOf(hostile(u"third"_s, u"Unfiled"_s));
        expected[0] = damaged;
        expected[3] = damaged;
        expected[5] = damaged;
        QCOMPARE(shown(carol, third), expected);
        const QString firstName = hostile(u"first"_s, {}).shortName.trimmed();
        const QString secondName = hostile(u"second"_s, {}).shortName.trimmed();
        QCOMPARE(names(carol), QStringList({firstName, secondName, damaged}));
        QCOMPARE(names(carol, u"Own"_s), QStringList{firstName});
        QCOMPARE(names(carol, u"All Records"_s, u"second"_s), QStringList{secondName});
        QCOMPARE(visibleCategories(*database, carol).value(), kShared + QStringList{damaged});
        // Saved back as shown, a damaged value keeps its stored form (it may still open with the
        // right key); typed over, it is replaced.
        const QString thirdName = stored(u"Logins"_s, u"ShortName"_s, third);
        const QString thirdCategory = stored(u"Logins"_s, u"Category"_s, third);
        RecordFields again = store->ShowRecord(carol, third).value()->fields;
        again.description = u"mended"_s;
        QCOMPARE(store->UpdateRecord(carol, third, again).outcome, SaveOutcome::Saved);
        expected[3] = again.description;
        QCOMPARE(shown(carol, third), expected);
        QCOMPARE(stored(u"Logins"_s, u"ShortName"_s, third), thirdName);
        QCOMPARE(stored(u"Logins"_s, u"Category"_s, third), thirdCategory);
        QCOMPARE(names(carol), QStringList({firstName, secondName, damaged}));
        QCOMPARE(visibleCategories(*database, carol).value(), kShared + QStringList{damaged});
        // A name that does not open holds no place; the other names still do.
        QCOMPARE(store->CreateRecord(carol, hostile(u"third"_s, {})).outcome, SaveOutcome::Saved);
        QCOMPARE(store->CreateRecord(carol, hostile(u"SECOND"_s, {})).outcome,
                 SaveOutcome::ShortNameInUse);

        // The same owner with another key opens nothing, and shows nothing else instead.
        const Account stranger = test::protectedAccount(*database, u"dave"_s);
        const Account wrongKey(carol.owner, stranger.dataKey);
        QCOMPARE(names(wrongKey), QStringList(4, damaged));
        QCOMPARE(shown(wrongKey, second), QStringList(6, damaged));
    }

    // Two protected accounts and a plain one in one file: none sees, changes or removes another's
    // records or categories, through one store used by all in turn. Short names are unique over
    // a protected account's own records, and over the readable names for a plain account.
    void accountsInOneFileStayApart() {
        const Account carol = test::protectedAccount(*database, u"carol"_s);
        const Account dave = test::protectedAccount(*database, u"dave"_s);
        const qint64 annas = create(anna, {u"gmail"_s, u"a"_s, u"p"_s, {}, {}, u"Anna's"_s});
        const qint64 carols = create(carol, {u"Gmail"_s, u"c"_s, u"p"_s, {}, {}, u"Carol's"_s});
        const qint64 daves = create(dave, {u"GMAIL"_s, u"d"_s, u"p"_s, {}, {}, u"Dave's"_s});
        QVERIFY(annas > 0 && carols > 0 && daves > 0);
        QCOMPARE(names(anna) + names(carol) + names(dave),
                 QStringList({u"gmail"_s, u"Gmail"_s, u"GMAIL"_s}));
        QCOMPARE(visibleCategories(*database, anna).value().last(), u"Anna's"_s);
        QCOMPARE(visibleCategories(*database, carol).value().last(), u"Carol's"_s);
        QCOMPARE(visibleCategories(*database, dave).value(), kShared + QStringList{u"Dave's"_s});
        for (const qint64 foreign : {annas, daves}) {
            QVERIFY(!store->ShowRecord(carol, foreign).value().has_value());
            QCOMPARE(store->UpdateRecord(carol, foreign, {u"taken"_s, {}, {}, {}, {}, {}}).outcome,
                     SaveOutcome::NotFound);
            QCOMPARE(store->DeleteRecord(carol, foreign).value(), 0);
        }
        QVERIFY(!store->ShowRecord(anna, carols).value().has_value());
        QCOMPARE(store->DeleteRecord(anna, carols).value(), 0);
        QCOMPARE(names(anna, u"All Records"_s, u"gmail"_s), QStringList{u"gmail"_s});

        const QList<SaveOutcome> outcomes = {
            store->CreateRecord(carol, {u" gMail "_s, {}, {}, {}, {}, {}}).outcome,
            store->CreateRecord(anna, {u"GMAIL "_s, {}, {}, {}, {}, {}}).outcome,
            store->CreateRecord(anna, {u"bank account"_s, {}, {}, {}, {}, {}}).outcome,
            store->CreateRecord(dave, {u"Bank Account"_s, {}, {}, {}, {}, {}}).outcome,
            store->CreateRecord(carol, {u"bank account"_s, {}, {}, {}, {}, {}}).outcome,
            store->UpdateRecord(carol, carols, {u"BANK ACCOUNT"_s, {}, {}, {}, {}, {}}).outcome,
            store->UpdateRecord(carol, carols, {u"gmail"_s, {}, {}, {}, {}, {}}).outcome,
            store->CreateRecord(dave, {u"bank account"_s, {}, {}, {}, {}, {}}).outcome};
        using enum SaveOutcome;
        QCOMPARE(outcomes, QList<SaveOutcome>({ShortNameInUse, ShortNameInUse, Saved, Saved, Saved,
                                               ShortNameInUse, Saved, ShortNameInUse}));
    }

    // Every row a store adds gets an identity of its own and its time of writing; every change
    // keeps the identity and sets the time again, in either format.
    void rowsGetIdentityAndWriteTime() {
        const Account carol = test::protectedAccount(*database, u"carol"_s);
        Result<Connection> connection = database->open();
        const auto rows = [&](const QString& sql) {
            QStringList out;
            Statement query = connection->prepare(sql);
            while (query.next()) {
                out << QString::fromLatin1(query.blob(0).toHex()) + u'|' +
                           QString::number(query.integer(1) > 0);
            }
            return out;
        };
        const QString logins = u"SELECT Uuid, Modified FROM Logins ORDER BY Counter"_s;
        const QString own =
            u"SELECT Uuid, Modified FROM LoginsCategory WHERE UserName <> "
            "'GLOBAL' ORDER BY Id"_s;
        for (const Account& account : {Account(anna), carol}) {
            const qint64 counter = create(account, hostile(u"one"_s, u"Mine"_s));
            QVERIFY(counter > 0);
            QVERIFY(connection->exec(u"UPDATE Logins SET Modified = 0"_s).ok());
            QVERIFY(connection->exec(u"UPDATE LoginsCategory SET Modified = 0"_s).ok());
            const QStringList before = rows(logins) + rows(own);
            QCOMPARE(store->UpdateRecord(account, counter, hostile(u"two"_s, u"Mine"_s)).outcome,
                     SaveOutcome::Saved);
            QVERIFY(rows(logins).first().endsWith(u"|1"_s));
            QVERIFY(connection->exec(u"UPDATE Logins SET Modified = 0"_s).ok());
            QVERIFY(DeleteCategory(*database, account, u"Mine"_s, {}).ok());  // the record moves
            QVERIFY(AddCategory(*database, account, u"Yours"_s).ok());
            const QStringList after = rows(logins) + rows(own);
            QCOMPARE(after.size(), before.size());
            QCOMPARE(after.first().left(33), before.first().left(33));
            QVERIFY(after.first().endsWith(u"|1"_s) && after.last().endsWith(u"|1"_s));
            QCOMPARE(after.last().size(), 2 * 16 + 2);
            QVERIFY(!before.contains(after.last()));
            QVERIFY(DeleteCategory(*database, account, u"Yours"_s, {}).ok());
            QCOMPARE(store->DeleteRecord(account, counter).value(), 1);
        }
    }

    // The conversion of an account's records and own categories to the sealed form keeps every
    // row's identity and every value, and touches nobody else's rows; stopped, it has changed
    // nothing once its transaction is rolled back.
    void sealRecordsConvertsAndCancels() {
        const QString erin = EncryptField(u"erin"_s);
        const RecordFields one = hostile(u"first"_s, u"Erin's <own>"_s);
        const RecordFields two = hostile(u"second"_s, u"Email"_s);
        const qint64 first = create(erin, one), second = create(erin, two);
        create(anna, hostile(u"annas"_s, u"Anna's"_s));
        const QString logins =
            u"SELECT Uuid, KeyUserName || ShortName || UserName || Password || Description || "
            "Notes || Category || Modified FROM Logins ORDER BY Counter"_s;
        const QString categories =
            u"SELECT Uuid, UserName || CategoryName || Modified FROM LoginsCategory ORDER BY Id"_s;
        const auto snapshot = [&] {
            Result<Connection> connection = database->open();
            return storedRows(connection.value(), logins) +
                   storedRows(connection.value(), categories);
        };
        const QStringList before = snapshot();
        const Account sealed = test::protectedAccount(*database, u"erin"_s);
        QVERIFY(sealed.isProtected() && sealed.owner == erin);

        int rows = 0;
        {
            WriteOperation write(*database);
            const AccountConversion stopped{Account(erin), sealed, [&rows] { return ++rows < 2; }};
            QCOMPARE(sealRecords(write.connection(), stopped).code, DbCode::Cancelled);
        }
        QCOMPARE(rows, 2);
        QCOMPARE(snapshot(), before);

        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        rows = 0;
        WriteOperation write(*database);
        const AccountConversion all{Account(erin), sealed, [&rows] { return ++rows > 0; }};
        QVERIFY(sealRecords(write.connection(), all).ok());
        QVERIFY(write.commit().ok());
        QCOMPARE(rows, 3);  // two records, one own category
        Result<Connection> connection = database->open();
        QCOMPARE(test::countOf(connection.value(),
                               u"SELECT (SELECT count(*) FROM Logins WHERE KeyUserName = '%1' AND "
                               "Modified < %2) + (SELECT count(*) FROM LoginsCategory WHERE "
                               "UserName = '%1' AND Modified < %2)"_s.arg(erin)
                                   .arg(start)),
                 0);
        const QStringList after = snapshot();
        QCOMPARE(after.size(), before.size());
        for (qsizetype at = 0; at < before.size(); ++at) {
            const bool erins = before.at(at).contains(erin);
            QCOMPARE(after.at(at).left(32), before.at(at).left(32));  // the same identity
            QCOMPARE(after.at(at) == before.at(at), !erins);
        }
        RecordFields expected = one;
        expected.shortName = one.shortName.trimmed();
        QCOMPARE(shown(sealed, first), valuesOf(expected));
        QCOMPARE(shown(sealed, second).last(), u"Email"_s);
        QCOMPARE(visibleCategories(*database, sealed).value(), kShared + QStringList{one.category});
        for (const QString& value : valuesOf(expected) + valuesOf(two).mid(0, 5)) {
            QVERIFY(!test::databaseHoldsText(env->databasePath(), EncryptField(value)));
        }
        QVERIFY(!test::databaseHoldsText(env->databasePath(), one.category));
    }

    // The conversion reads the rows a batch at a time: every one of many rows is converted once.
    void sealRecordsConvertsManyRows() {
        const QString erin = EncryptField(u"erin"_s);
        const Account sealed = test::protectedAccount(*database, u"erin"_s);
        QVERIFY(database->open()
                    ->exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                           "i < 1201) INSERT INTO Logins (KeyUserName, ShortName, Category, Uuid) "
                           "SELECT '%1', '%2', 'Work', randomblob(16) FROM n"_s.arg(
                               erin, EncryptField(u"many"_s)))
                    .ok());
        int rows = 0;
        WriteOperation write(*database);
        QVERIFY(sealRecords(write.connection(), {Account(erin), sealed, [&rows] { return ++rows; }})
                    .ok());
        QVERIFY(write.commit().ok());
        QCOMPARE(rows, 1201);
        QCOMPARE(names(sealed, u"Work"_s), QStringList(1201, u"many"_s));
        // Listed on two threads: a value moved in from the next row is damaged in its place.
        const QList<RecordLine> lines = store->ListRecords(sealed, u"All Records"_s, {}).value();
        setStored(u"Logins"_s, u"ShortName"_s, lines[100].counter,
                  stored(u"Logins"_s, u"ShortName"_s, lines[101].counter));
        setStored(u"Logins"_s, u"Category"_s, lines[900].counter,
                  stored(u"Logins"_s, u"Category"_s, lines[901].counter));
        QCOMPARE(names(sealed).indexOf(damagedValueText()), 100);
        QCOMPARE(names(sealed, damagedValueText()), QStringList{u"many"_s});
    }
};

QTEST_GUILESS_MAIN(VaultProtectedTest)
#include "tst_vault_protected.moc"
