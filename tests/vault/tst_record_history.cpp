// The versions a record's saves keep, its restores, deleted records and the tombstones of every
// deletion, on the stores without windows.
#include <QtTest>

#include "ProtectedAccount.h"
#include "TestEnvironment.h"
#include "app/Accounts.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "files/FileStore.h"
#include "images/ImageStore.h"
#include "journal/JournalStore.h"
#include "options/ConversionParts.h"
#include "options/DatabaseTransfer.h"
#include "storage/Compaction.h"
#include "vault/CategoryStore.h"
#include "vault/RecordHistory.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

QStringList values(const RecordFields& f) {
    return {f.shortName, f.userName, f.password, f.description, f.notes, f.category};
}

// The values of save `i`: save i changes one field of save i - 1, in turn.
RecordFields version(int i) {
    RecordFields f{u"name-0"_s,          u"user-0"_s,   u"pass-0"_s,
                   u"desc-0 <b>ü</b>"_s, u"notes\n0"_s, u"Cat-0"_s};
    for (int at = 1; at <= i; ++at) {
        QString* const field[] = {&f.shortName,   &f.userName, &f.password,
                                  &f.description, &f.notes,    &f.category};
        *field[at % 6] = field[at % 6]->section(u'-', 0, 0) + u'-' + QString::number(at);
    }
    return f;
}

// Marks a listing that failed.
RecordVersion failedVersion() {
    RecordVersion failed;
    failed.id = -1;
    return failed;
}
DeletedRecord failedDeletion() {
    DeletedRecord failed;
    failed.id = -1;
    return failed;
}

RecordFields named(const QString& shortName) {
    RecordFields f;
    f.shortName = shortName;
    return f;
}

}  // namespace

class RecordHistoryTest : public test::DatabaseTest {
    Q_OBJECT

    HistorySettings settings;
    std::unique_ptr<RecordStore> store;
    const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);

    qint64 count(const QString& sql) { return test::countOf(database->open().value(), sql); }
    QList<RecordVersion> history(const Account& account, qint64 counter) {
        const Result<QList<RecordVersion>> listed = ListRecordHistory(*database, account, counter);
        return listed.ok() ? listed.value() : QList<RecordVersion>{failedVersion()};
    }
    QList<DeletedRecord> deleted(const Account& account) {
        const Result<QList<DeletedRecord>> listed =
            ListDeletedRecords(*database, account, settings);
        return listed.ok() ? listed.value() : QList<DeletedRecord>{failedDeletion()};
    }

private Q_SLOTS:
    void init() {
        startDatabase();
        settings = HistorySettings();
        store = std::make_unique<RecordStore>(*database, &settings);
    }
    void cleanup() {
        store.reset();
        endDatabase();
    }

    void savesKeepEveryVersionUpToTheLimit_data() {
        QTest::addColumn<bool>("sealed");
        QTest::newRow("shared") << false;
        QTest::newRow("protected") << true;
    }
    void savesKeepEveryVersionUpToTheLimit() {
        QFETCH(bool, sealed);
        const Account account = sealed ? test::protectedAccount(*database, u"anna"_s) : anna;
        const qint64 counter = store->CreateRecord(account, version(0)).counter;
        QVERIFY(counter > 0);
        QCOMPARE(history(account, counter).size(), 0);
        constexpr int kSaves = 25;
        for (int i = 1; i <= kSaves; ++i) {
            QCOMPARE(store->UpdateRecord(account, counter, version(i)).outcome, SaveOutcome::Saved);
            const QList<RecordVersion> kept = history(account, counter);
            QCOMPARE(kept.size(), qMin(i, settings.versionsKept));
            for (int k = 0; k < kept.size(); ++k) {
                QCOMPARE(values(kept[k].fields), values(version(i - 1 - k)));
                QCOMPARE(kept[k].changed, changedFields(version(i - 1 - k), version(i - k)));
                QVERIFY(kept[k].replaced >= kept[k].modified && !kept[k].damaged);
            }
        }
        // A save that changes nothing keeps nothing; another user never sees the versions.
        QCOMPARE(store->UpdateRecord(account, counter, version(kSaves)).outcome,
                 SaveOutcome::Saved);
        QCOMPARE(history(account, counter).size(), settings.versionsKept);
        QCOMPARE(history(bert, counter).size(), 0);
        // Stored as the live values are: sealed, or the shared cipher's text.
        const QString shared = EncryptField(version(kSaves - 1).password);
        QCOMPARE(
            count(u"SELECT count(*) FROM LoginsHistory WHERE Password = '%1'"_s.arg(shared)) > 0,
            !sealed);
        // Fewer kept: the newest stay; none kept: the record's versions go at its next save.
        settings.versionsKept = 3;
        QVERIFY(ApplyHistorySettings(*database, account, settings).ok());
        QCOMPARE(values(history(account, counter).value(0).fields), values(version(kSaves - 1)));
        QCOMPARE(history(account, counter).size(), 3);
        settings.versionsKept = 0;
        QCOMPARE(store->UpdateRecord(account, counter, version(1)).outcome, SaveOutcome::Saved);
        QCOMPARE(history(account, counter).size(), 0);
    }

    void restoreIsASaveThatCanBeUndone_data() { savesKeepEveryVersionUpToTheLimit_data(); }
    void restoreIsASaveThatCanBeUndone() {
        QFETCH(bool, sealed);
        const Account account = sealed ? test::protectedAccount(*database, u"anna"_s) : anna;
        const qint64 counter = store->CreateRecord(account, version(0)).counter;
        const qint64 other = store->CreateRecord(account, named(u"other one"_s)).counter;
        QCOMPARE(store->UpdateRecord(account, other, named(u"other two"_s)).outcome,
                 SaveOutcome::Saved);
        for (int i = 1; i <= 2; ++i) {
            QCOMPARE(store->UpdateRecord(account, counter, version(i)).outcome, SaveOutcome::Saved);
        }
        const qint64 first = history(account, counter).value(1).id;
        QCOMPARE(store->RestoreVersion(account, counter, first).outcome, SaveOutcome::Saved);
        QCOMPARE(values(store->ShowRecord(account, counter).value()->fields), values(version(0)));
        // The values the restore replaced are the newest version: restoring it undoes it.
        QList<RecordVersion> kept = history(account, counter);
        QCOMPARE(kept.size(), 3);
        QCOMPARE(values(kept[0].fields), values(version(2)));
        QCOMPARE(store->RestoreVersion(account, counter, kept[0].id).outcome, SaveOutcome::Saved);
        QCOMPARE(values(store->ShowRecord(account, counter).value()->fields), values(version(2)));
        // Only a version of that record, of that account.
        const qint64 otherVersion = history(account, other).value(0).id;
        QCOMPARE(store->RestoreVersion(account, counter, otherVersion).outcome,
                 SaveOutcome::NotFound);
        QCOMPARE(store->RestoreVersion(bert, counter, first).outcome, SaveOutcome::NotFound);
        if (sealed) {
            // A version whose value does not open is never restored over the record.
            QVERIFY(database->open()->exec(u"UPDATE LoginsHistory SET Notes = ShortName"_s).ok());
            QCOMPARE(store->RestoreVersion(account, counter, first).outcome,
                     SaveOutcome::VersionDamaged);
            QVERIFY(history(account, counter).value(0).damaged);
        }
        QCOMPARE(values(store->ShowRecord(account, counter).value()->fields), values(version(2)));
    }

    // Deleting a category unfiles its records as a save would: each keeps the version filed
    // under it, sealed as the record is, up to the limit, and a restore undoes the move.
    void aDeletedCategorysRecordsKeepTheirFiling_data() {
        savesKeepEveryVersionUpToTheLimit_data();
    }
    void aDeletedCategorysRecordsKeepTheirFiling() {
        QFETCH(bool, sealed);
        const Account account = sealed ? test::protectedAccount(*database, u"anna"_s) : anna;
        const qint64 counter = store->CreateRecord(account, version(0)).counter;
        QCOMPARE(store->UpdateRecord(account, counter, version(1)).outcome, SaveOutcome::Saved);
        const qint64 other = store->CreateRecord(account, named(u"not filed"_s)).counter;
        RecordFields berts = version(0);
        berts.shortName = u"bert's own"_s;
        const qint64 bertsCounter = store->CreateRecord(bert, berts).counter;
        const auto deleteCat0 = [&] {
            const Result<CategoryDeletion> deletion =
                DeleteCategory(*database, account, version(0).category, settings);
            return deletion.ok() ? deletion.value().recordsReassigned : -1;
        };
        QCOMPARE(deleteCat0(), 1);
        RecordFields moved = version(1);
        moved.category = u"Unfiled"_s;
        QCOMPARE(values(store->ShowRecord(account, counter).value()->fields), values(moved));
        QList<RecordVersion> kept = history(account, counter);
        QCOMPARE(kept.size(), 2);
        QCOMPARE(values(kept[0].fields), values(version(1)));
        QCOMPARE(kept[0].changed, unsigned(FieldCategory));
        QCOMPARE(history(account, other).size() + history(bert, bertsCounter).size(), 0);
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory WHERE Category = 'Cat-0'"_s) > 0,
                 !sealed);
        QCOMPARE(store->RestoreVersion(account, counter, kept[0].id).outcome, SaveOutcome::Saved);
        QCOMPARE(values(store->ShowRecord(account, counter).value()->fields), values(version(1)));
        // The limit holds; a move that fails keeps nothing.
        settings.versionsKept = 1;
        QVERIFY(database->open()
                    ->exec(u"CREATE TRIGGER noMove BEFORE UPDATE ON Logins BEGIN SELECT "
                           "RAISE(ABORT, 'refused'); END"_s)
                    .ok());
        QCOMPARE(deleteCat0(), -1);
        QCOMPARE(history(account, counter).size(), 3);
        QVERIFY(database->open()->exec(u"DROP TRIGGER noMove"_s).ok());
        QCOMPARE(deleteCat0(), 1);
        kept = history(account, counter);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(values(kept[0].fields), values(version(1)));
    }

    void deletedRecordsComeBackWithTheirIdentity() {
        const qint64 counter = store->CreateRecord(anna, version(0)).counter;
        QCOMPARE(store->UpdateRecord(anna, counter, version(1)).outcome, SaveOutcome::Saved);
        QByteArray identity;
        {
            Statement read = database->open()->prepare(u"SELECT Uuid FROM Logins"_s);
            QVERIFY(read.next());
            identity = read.blob(0);
        }
        QCOMPARE(store->DeleteRecord(bert, counter).value(), 0);  // not bert's: nothing kept
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones"_s), 0);
        QCOMPARE(store->DeleteRecord(anna, counter).value(), 1);
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones WHERE TableName = 'Logins' AND Owner = "
                       "'%1' AND Deleted > 0"_s.arg(anna)),
                 1);
        QList<DeletedRecord> gone = deleted(anna);
        QCOMPARE(gone.size(), 1);
        QCOMPARE(gone[0].shortName, version(1).shortName);
        QCOMPARE(deleted(bert).size(), 0);
        QCOMPARE(store->RestoreDeletedRecord(bert, gone[0].id).outcome, SaveOutcome::NotFound);
        // Its short name taken meanwhile: refused, and it stays deleted.
        const qint64 taker = store->CreateRecord(anna, named(version(1).shortName)).counter;
        QCOMPARE(store->RestoreDeletedRecord(anna, gone[0].id).outcome,
                 SaveOutcome::ShortNameInUse);
        QCOMPARE(deleted(anna).size(), 1);
        QCOMPARE(store->DeleteRecord(anna, taker).value(), 1);
        const SaveResult back = store->RestoreDeletedRecord(anna, gone[0].id);
        QCOMPARE(back.outcome, SaveOutcome::Saved);
        QCOMPARE(values(store->ShowRecord(anna, back.counter).value()->fields), values(version(1)));
        {
            Statement again = database->open()->prepare(u"SELECT Uuid FROM Logins"_s);
            QVERIFY(again.next());
            QCOMPARE(again.blob(0), identity);
        }
        QCOMPARE(values(history(anna, back.counter).value(0).fields), values(version(0)));
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones"_s), 1);  // the taker's only
        QCOMPARE(deleted(anna).size(), 1);
        QCOMPARE(store->RestoreDeletedRecord(anna, gone[0].id).outcome, SaveOutcome::NotFound);
        // Deleted longer ago than kept: forgotten with every earlier version.
        QCOMPARE(store->DeleteRecord(anna, back.counter).value(), 1);
        QVERIFY(database->open()
                    ->exec(u"UPDATE LoginsHistory SET Replaced = Replaced - 31 * 86400000"_s)
                    .ok());
        QCOMPARE(deleted(anna).size(), 0);
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory"_s), 0);
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones"_s), 2);
    }

    void everyDeletionLeavesATombstone() {
        Connection connection = database->open().value();
        for (const QString& table : {u"Images"_s, u"Files"_s}) {
            Statement add = connection.prepare(
                u"INSERT INTO %1 (%2, UserName, Uuid) VALUES ('x', ?1, ?2)"_s.arg(
                    table, table == u"Images"_s ? u"ImageName"_s : u"FileName"_s));
            for (const QString& owner : {anna, bert, anna}) {
                add.reset();
                add.bind(1, owner);
                if (table != u"Files"_s || count(u"SELECT count(*) FROM Files"_s) < 2) {
                    add.bindBlob(2,
                                 QByteArray(16, char(owner.size() + table.size())) +
                                     QByteArray::number(count(u"SELECT count(*) FROM "_s + table)));
                }
                QVERIFY(add.run().ok());
            }
        }
        QCOMPARE(DeleteImages(*database, anna, {1, 2, 3}).value(), 2);
        QCOMPARE(deleteStoredFiles(*database, anna, {1, 2, 3}).value(), 2);
        QVERIFY(AddCategory(*database, anna, u"Mine"_s).ok());
        QCOMPARE(DeleteCategory(*database, anna, u"Mine"_s, {}).value().categoriesDeleted, 1);
        // Anna's rows only; a row without an identity (an older build's) leaves none.
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones WHERE Owner = '%1'"_s.arg(anna)), 4);
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones WHERE TableName = 'Images'"_s), 2);
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones WHERE TableName = 'Files'"_s), 1);
        QCOMPARE(count(u"SELECT count(*) FROM Tombstones WHERE TableName = 'LoginsCategory'"_s), 1);
        QCOMPARE(count(u"SELECT count(*) FROM Images"_s) + count(u"SELECT count(*) FROM Files"_s),
                 2);
    }

    void historyGoesWithCopiesAndProtection() {
        const qint64 counter = store->CreateRecord(anna, version(0)).counter;
        QCOMPARE(store->UpdateRecord(anna, counter, version(1)).outcome, SaveOutcome::Saved);
        const qint64 gone = store->CreateRecord(anna, named(u"gone record"_s)).counter;
        const QDate day(2026, 3, 5);
        for (const QString& text : {u"journal text one"_s, u"journal text two"_s}) {
            QVERIFY(
                writeJournalEntry(*database, anna, u"05/03/2026"_s, storedJournalValue(text), day)
                    .ok());
        }
        QCOMPARE(store->DeleteRecord(anna, gone).value(), 1);
        const QString tables =
            u"SELECT (SELECT count(*) FROM LoginsHistory) * 100 + "
            "(SELECT count(*) FROM Tombstones)"_s;
        QCOMPARE(count(tables), 201);
        // An export and a compaction copy the whole database, history with it.
        const QString folder = env->root() + u"export/"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(ExportDatabase(env->databasePath(), folder).ok());
        database->CloseAllDatabaseObjects();
        QVERIFY(compactDatabaseFile(env->databasePath(), env->dataFolder() + u"OutputDB.mdb"_s,
                                    PassPhrase())
                    .ok);
        QCOMPARE(count(tables), 201);
        DatabaseAccess exported(folder + u"data.ksd"_s, PassPhrase());
        QCOMPARE(test::countOf(exported.open().value(), tables), 201);
        // Protecting the account seals its kept versions too, each opening as the record did.
        const QString password = u"secret"_s;
        QVERIFY(CreateUser(*database, u"anna"_s, password).ok());
        const ProtectionOutcome made =
            protectAccount(*database, anna, password, u"a pass phrase"_s, test::cheapKdf(),
                           accountConversionParts(), [] { return true; });
        QCOMPARE(made.result, ProtectionOutcome::Result::Protected);
        QCOMPARE(count(u"SELECT count(*) FROM LoginsHistory WHERE ShortName = '%1'"_s.arg(
                     EncryptField(version(0).shortName))),
                 0);
        QCOMPARE(values(history(made.account, counter).value(0).fields), values(version(0)));
        QCOMPARE(deleted(made.account).value(0).shortName, u"gone record"_s);
        const Result<QList<JournalVersion>> texts =
            ListJournalHistory(*database, made.account, u"05/03/2026"_s);
        QCOMPARE(texts.value().size(), 1);
        QCOMPARE(texts.value()[0].text, u"journal text one"_s);
        QCOMPARE(count(u"SELECT count(*) FROM JournalsHistory WHERE Journal = '%1'"_s.arg(
                     EncryptField(u"journal text one"_s))),
                 0);
        QVERIFY(history(anna, counter).value(0).fields.shortName != version(0).shortName);
    }
};

QTEST_GUILESS_MAIN(RecordHistoryTest)
#include "tst_record_history.moc"
