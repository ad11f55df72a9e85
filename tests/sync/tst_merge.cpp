// Merging one database into another: rows matched by identity, the later write winning (a tie
// decided the same way in both directions), the loser kept in history, tombstones, records of
// one name made on two machines, protected accounts, failures, and that a merge repeated or
// made the other way round changes nothing more.
#include <QtTest>
#include <array>

#include "MergeFixture.h"
#include "ProtectedAccount.h"
#include "core/AccountKeys.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "images/ImageStore.h"
#include "journal/JournalHistory.h"
#include "journal/JournalStore.h"
#include "options/AccountProtection.h"
#include "storage/CopyHelpers.h"
#include "storage/Schema.h"
#include "vault/CategoryStore.h"
#include "vault/RecordBatch.h"
#include "vault/RecordHistory.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

constexpr int kRecords = 0;
constexpr int kCategories = 1;
constexpr int kEntries = 2;
constexpr int kPictures = 3;
constexpr int kPictureRepeats = 300000;

QStringList shortNames(DatabaseAccess& database, const Account& account) {
    const Result<QList<StoredRecord>> records = readAccountRecords(database, account);
    QStringList names;
    for (const StoredRecord& record : records.value()) {
        names.append(record.fields.shortName + u'=' + record.fields.password);
    }
    names.sort();
    return names;
}

QStringList historyPasswords(DatabaseAccess& database, const Account& account, qint64 counter) {
    const Result<QList<RecordVersion>> versions = ListRecordHistory(database, account, counter);
    QStringList found;
    for (const RecordVersion& version : versions.value()) {
        found.append(version.fields.password);
    }
    found.sort();
    return found;
}

}  // namespace

class MergeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MergeWorld> w;

    // Machines "a" and "b" from one database, changed apart: A adds a record and a picture and
    // changes the day's entry; both change three records, at times set by hand: the first later
    // in A, the second later in B, the third at the same time. Then copies of both as they are
    // ("a2", "b2"), to merge the other way round.
    void divergedCopies(QString& anna, std::array<qint64, 3>& records) {
        w->machine(u"a"_s);
        anna = w->account(u"a"_s);
        const QString names[] = {u"mail-one"_s, u"bank-two"_s, u"tie-three"_s};
        for (int i = 0; i < 3; ++i) {
            records[i] = w->addRecord(u"a"_s, anna, names[i]);
        }
        QVERIFY(writeJournalEntry(w->machines.at(u"a"_s).db(), anna, u"01/02/2026"_s,
                                  storedJournalValue(u"first text"_s), QDate(2026, 2, 1))
                    .ok());
        w->copyOf(u"b"_s, u"a"_s);
        w->addRecord(u"a"_s, anna, u"alpha-new"_s);
        w->addPicture(u"a"_s, anna, QByteArray("picture ").repeated(kPictureRepeats));
        QVERIFY(writeJournalEntry(w->machines.at(u"a"_s).db(), anna, u"01/02/2026"_s,
                                  storedJournalValue(u"second text"_s), QDate(2026, 2, 1))
                    .ok());
        const qint64 times[3][2] = {{3000, 2000}, {2000, 3000}, {5000, 5000}};
        for (int i = 0; i < 3; ++i) {
            w->editRecord(u"a"_s, anna, records[i], names[i], names[i] + u"-A"_s);
            w->editRecord(u"b"_s, anna, records[i], names[i], names[i] + u"-B"_s);
            w->setModified(u"a"_s, u"Logins"_s, records[i], times[i][0]);
            w->setModified(u"b"_s, u"Logins"_s, records[i], times[i][1]);
        }
        w->copyOf(u"a2"_s, u"a"_s);
        w->copyOf(u"b2"_s, u"b"_s);
    }

private Q_SLOTS:
    void init() { w = std::make_unique<test::MergeWorld>(); }
    void cleanup() { w.reset(); }

    void laterWritesWinTiesAgreeAndMergingAgainChangesNothing() {
        QString anna;
        std::array<qint64, 3> records{};
        divergedCopies(anna, records);
        if (QTest::currentTestFailed()) {
            return;
        }
        const auto [r1, r2, r3] = records;
        const QStringList before = w->digest(u"b"_s);

        const MergeOutcome planned = w->merge(u"b"_s, u"a"_s, false);
        QVERIFY2(planned.ok(), qPrintable(planned.status.detail));
        QCOMPARE(w->digest(u"b"_s), before);
        const MergeOutcome merged = w->merge(u"b"_s, u"a"_s);
        QVERIFY2(merged.ok(), qPrintable(merged.status.detail));
        // The plan said what the merge did.
        QCOMPARE(test::countsText(planned.report, anna, kRecords),
                 test::countsText(merged.report, anna, kRecords));
        DatabaseAccess& b = w->machines.at(u"b"_s).db();
        // The tie goes the same way whichever database is merged into which.
        QVERIFY(w->merge(u"a2"_s, u"b2"_s).ok());
        const QString tieInB =
            w->textOf(u"b"_s, u"SELECT Password FROM Logins WHERE Counter = %1"_s.arg(r3));
        QCOMPARE(w->textOf(u"a2"_s, u"SELECT Password FROM Logins WHERE Counter = %1"_s.arg(r3)),
                 tieInB);
        const QString tieWinner = DecryptStored(tieInB);
        const QString tieLoser =
            tieWinner == u"tie-three-A"_s ? u"tie-three-B"_s : u"tie-three-A"_s;
        QCOMPARE(shortNames(b, anna),
                 QStringList({u"alpha-new=pw"_s, u"bank-two=bank-two-B"_s, u"mail-one=mail-one-A"_s,
                              u"tie-three="_s + tieWinner}));
        QCOMPARE(test::countsText(merged.report, anna, kRecords),
                 tieWinner == u"tie-three-A"_s ? u"+1 ~2 -0 r0"_s : u"+1 ~1 -0 r0"_s);
        QCOMPARE(test::countsText(merged.report, anna, kPictures), u"+1 ~0 -0 r0"_s);
        QCOMPARE(test::countsText(merged.report, anna, kEntries), u"+0 ~1 -0 r0"_s);
        QCOMPARE(*LoadJournalEntry(b, anna, u"01/02/2026"_s).value(), u"second text"_s);
        // The losing versions, of either side, are kept in history.
        QCOMPARE(historyPasswords(b, anna, r1), QStringList({u"mail-one-B"_s, u"pw"_s}));
        QCOMPARE(historyPasswords(b, anna, r2), QStringList({u"bank-two-A"_s, u"pw"_s}));
        QCOMPARE(historyPasswords(b, anna, r3), QStringList({u"pw"_s, tieLoser}));
        QCOMPARE(w->countOf(u"b"_s, u"SELECT length(Image) FROM Images"_s),
                 qint64(8) * kPictureRepeats);
        // Merging again changes nothing; merging the other way leaves both the same.
        const QStringList merged1 = w->digest(u"b"_s);
        const MergeOutcome again = w->merge(u"b"_s, u"a"_s);
        QVERIFY(again.ok());
        QVERIFY(!again.report.writesAnything());
        QCOMPARE(w->digest(u"b"_s), merged1);
        QVERIFY(w->merge(u"a"_s, u"b"_s).ok());
        QCOMPARE(w->digest(u"a"_s), w->digest(u"b"_s));
    }

    void tombstonesRemoveOnlyRowsNotWrittenAfterThem() {
        w->machine(u"a"_s);
        const QString anna = w->account(u"a"_s);
        const qint64 r1 = w->addRecord(u"a"_s, anna, u"mail-one"_s);
        const qint64 r2 = w->addRecord(u"a"_s, anna, u"bank-two"_s);
        const qint64 picture = w->addPicture(u"a"_s, anna, "bytes");
        w->copyOf(u"b"_s, u"a"_s);
        RecordStore store(w->machines.at(u"a"_s).db());
        QCOMPARE(store.DeleteRecord(anna, r1).value(), 1);
        QCOMPARE(store.DeleteRecord(anna, r2).value(), 1);
        QCOMPARE(DeleteImages(w->machines.at(u"a"_s).db(), anna, {picture}).value(), 1);
        // B changed r2 after A deleted it: r2 stays, on both sides in the end.
        w->editRecord(u"b"_s, anna, r2, u"bank-two"_s, u"kept"_s);
        w->setModified(u"b"_s, u"Logins"_s, r2, rowWriteTime() + 60000);

        const MergeOutcome merged = w->merge(u"b"_s, u"a"_s);
        QVERIFY2(merged.ok(), qPrintable(merged.status.detail));
        QCOMPARE(test::countsText(merged.report, anna, kRecords), u"+0 ~0 -1 r0"_s);
        QCOMPARE(test::countsText(merged.report, anna, kPictures), u"+0 ~0 -1 r0"_s);
        DatabaseAccess& b = w->machines.at(u"b"_s).db();
        QCOMPARE(shortNames(b, anna), QStringList({u"bank-two=kept"_s}));
        QCOMPARE(w->countOf(u"b"_s, u"SELECT count(*) FROM Images"_s), 0);
        // The record deleted elsewhere can be restored here as one deleted here can.
        const Result<QList<DeletedRecord>> deleted = ListDeletedRecords(b, anna, {});
        QCOMPARE(deleted.value().size(), 1);
        QCOMPARE(deleted.value().first().shortName, u"mail-one"_s);

        QVERIFY(w->merge(u"a"_s, u"b"_s).ok());
        DatabaseAccess& a = w->machines.at(u"a"_s).db();
        QCOMPARE(shortNames(a, anna), QStringList({u"bank-two=kept"_s}));
        // The record is live again: its tombstone went, and it is no longer a deleted record.
        QCOMPARE(w->countOf(u"a"_s,
                            u"SELECT count(*) FROM Tombstones WHERE TableName = "
                            u"'Logins'"_s),
                 1);
        QCOMPARE(ListDeletedRecords(a, anna, {}).value().size(), 1);
        QCOMPARE(w->digest(u"a"_s), w->digest(u"b"_s));
    }

    void recordsOfOneNameMadeOnTwoMachinesAreBothKept() {
        w->machine(u"a"_s);
        w->machine(u"b"_s);
        const QString anna = w->account(u"a"_s);
        QCOMPARE(w->account(u"b"_s), anna);
        w->addRecord(u"a"_s, anna, u"gmail"_s, u"from-a"_s);
        w->addRecord(u"b"_s, anna, u"GMail"_s, u"from-b"_s);
        w->addRecord(u"b"_s, anna, u"gmail (2)"_s, u"taken"_s);
        for (const QString& name : {u"a"_s, u"b"_s}) {
            QVERIFY(AddCategory(w->machines.at(name).db(), anna, u"Travel"_s).ok());
            QVERIFY(writeJournalEntry(w->machines.at(name).db(), anna, u"01/02/2026"_s,
                                      storedJournalValue(u"day in "_s + name), QDate(2026, 2, 1))
                        .ok());
        }
        // The day's entry in B is the later one.
        w->setModified(u"a"_s, u"Journals"_s, 1, 1000);
        w->setModified(u"b"_s, u"Journals"_s, 1, 2000);

        const MergeOutcome merged = w->merge(u"b"_s, u"a"_s);
        QVERIFY2(merged.ok(), qPrintable(merged.status.detail));
        DatabaseAccess& b = w->machines.at(u"b"_s).db();
        QCOMPARE(shortNames(b, anna),
                 QStringList({u"GMail=from-b"_s, u"gmail (2)=taken"_s, u"gmail (3)=from-a"_s}));
        QCOMPARE(test::countsText(merged.report, anna, kRecords), u"+1 ~0 -0 r1"_s);
        QCOMPARE(merged.report.accounts.first().renames.size(), 1);
        QCOMPARE(merged.report.accounts.first().renames.first().to, u"gmail (3)"_s);
        QVERIFY(mergeReportLines(merged.report)
                    .join(u'\n')
                    .contains(u"gmail came in as \"gmail (3)\""_s));
        // One entry a day, the later one; the other is kept in history. One category "Travel".
        QCOMPARE(*LoadJournalEntry(b, anna, u"01/02/2026"_s).value(), u"day in b"_s);
        QCOMPARE(w->countOf(u"b"_s, u"SELECT count(*) FROM Journals"_s), 1);
        const Result<QList<JournalVersion>> kept = ListJournalHistory(b, anna, u"01/02/2026"_s);
        QCOMPARE(kept.value().size(), 1);
        QCOMPARE(kept.value().first().text, u"day in a"_s);
        QCOMPARE(w->countOf(u"b"_s,
                            u"SELECT count(*) FROM LoginsCategory WHERE UserName <> "
                            u"'GLOBAL'"_s),
                 1);
        QCOMPARE(test::countsText(merged.report, anna, kCategories), u"+0 ~0 -0 r0"_s);

        QVERIFY(w->merge(u"a"_s, u"b"_s).ok());
        QCOMPARE(w->digest(u"a"_s), w->digest(u"b"_s));
        QVERIFY(!w->merge(u"b"_s, u"a"_s).report.writesAnything());
    }

    void protectedAccountsKeepTheirSealedValuesOpen() {
        w->machine(u"a"_s);
        const Account anna = test::protectedAccount(w->machines.at(u"a"_s).db(), u"anna"_s);
        const qint64 r1 = w->addRecord(u"a"_s, anna, u"mail-one"_s);
        w->copyOf(u"b"_s, u"a"_s);
        DatabaseAccess& b = w->machines.at(u"b"_s).db();
        w->editRecord(u"b"_s, anna, r1, u"mail-one"_s, u"changed in b"_s);
        w->addRecord(u"b"_s, anna, u"second-site"_s);
        QVERIFY(
            writeSealedJournalEntry(b, anna, u"03/04/2026"_s, u"sealed day"_s, QDate(2026, 4, 3))
                .ok());
        // A record of the same name made in A meanwhile: checked with the key A's user holds.
        w->addRecord(u"a"_s, anna, u"Second-Site"_s);

        const MergeOutcome merged = w->merge(u"a"_s, u"b"_s, true, {}, {anna});
        QVERIFY2(merged.ok(), qPrintable(merged.status.detail));
        DatabaseAccess& a = w->machines.at(u"a"_s).db();
        QCOMPARE(shortNames(a, anna), QStringList({u"Second-Site=pw"_s, u"mail-one=changed in b"_s,
                                                   u"second-site (2)=pw"_s}));
        QCOMPARE(*LoadJournalEntry(a, anna, u"03/04/2026"_s).value(), u"sealed day"_s);
        const Result<QList<RecordVersion>> versions = ListRecordHistory(a, anna, r1);
        QCOMPARE(versions.value().size(), 1);
        QVERIFY(!versions.value().first().damaged);
        QCOMPARE(versions.value().first().fields.password, u"pw"_s);

        // A new pass phrase in B: its key row comes over, shown to wrap the same key by a sealed
        // value both hold unchanged (no key at hand this time).
        QCOMPARE(changePassPhrase(b, anna.owner, u"correct horse battery"_s, u"a new phrase 42"_s)
                     .result,
                 ProtectionOutcome::Result::Protected);
        const MergeOutcome rekeyed = w->merge(u"a"_s, u"b"_s);
        QVERIFY(!rekeyed.report.refusedAny());
        QVERIFY(rekeyed.report.accounts.first().passwordChanged);
        Result<Connection> connection = a.open();
        const std::optional<StoredAccountKey> key =
            readAccountKey(connection.value(), anna.owner).value();
        QVERIFY(
            !unlockAccountKey(u"a new phrase 42"_s, key->record, key->binding(anna.owner)).empty());

        // The same login protected separately elsewhere has another key: nothing of it merges.
        w->machine(u"c"_s);
        const Account other = test::protectedAccount(w->machines.at(u"c"_s).db(), u"anna"_s);
        w->addRecord(u"c"_s, other, u"from-c-site"_s);
        const QStringList before = w->digest(u"a"_s);
        const MergeOutcome refused = w->merge(u"a"_s, u"c"_s, true, {}, {anna});
        QVERIFY(refused.ok());
        QVERIFY(refused.report.refusedAny());
        QVERIFY(!refused.report.writesAnything());
        QCOMPARE(w->digest(u"a"_s), before);
        QVERIFY(mergeReportLines(refused.report).first().startsWith(u"anna: not merged: "_s));
    }

    void aFailedMergeOrARefusedFileChangesNothing() {
        w->machine(u"a"_s);
        const QString anna = w->account(u"a"_s);
        w->copyOf(u"b"_s, u"a"_s);
        for (const QString& name : {u"one-site"_s, u"two-site"_s, u"three-site"_s}) {
            w->addRecord(u"a"_s, anna, name);
        }
        const QStringList before = w->digest(u"b"_s);
        int asked = 0;
        const MergeOutcome failed = w->merge(u"b"_s, u"a"_s, true, [&asked](int step) {
            ++asked;
            return step == 2;
        });
        QVERIFY(!failed.ok());
        QCOMPARE(asked, 2);
        QCOMPARE(w->digest(u"b"_s), before);
        QVERIFY(!QFileInfo::exists(w->machines.at(u"b"_s).folder + u"Merge.part"_s));

        // Not a database, one cut short, one with a table that is not ours.
        const QString source = w->machines.at(u"a"_s).db().path();
        w->machines.at(u"a"_s).db().CloseAllDatabaseObjects();
        const QByteArray whole = test::readBytes(source);
        test::writeFile(w->env.root() + u"junk/Data.mdb"_s, QByteArray(8192, 'x'));
        test::writeFile(w->env.root() + u"cut/Data.mdb"_s, whole.left(whole.size() - 100));
        test::writeFile(w->env.root() + u"foreign/Data.mdb"_s, whole);
        {
            Result<Connection> foreign =
                copying::openKeyed(w->env.root() + u"foreign/Data.mdb"_s, PassPhrase());
            QVERIFY(foreign.ok() && foreign->exec(u"CREATE TABLE Extra (x)"_s).ok());
        }
        for (const QString& bad : {u"junk"_s, u"cut"_s, u"foreign"_s}) {
            MergeRequest request;
            request.source = w->env.root() + bad + u"/Data.mdb"_s;
            request.dataFolder = w->machines.at(u"b"_s).folder;
            const MergeOutcome refused = mergeDatabase(w->machines.at(u"b"_s).db(), request);
            QVERIFY2(refused.fileRefused, qPrintable(bad));
            QCOMPARE(w->digest(u"b"_s), before);
        }
        QVERIFY(!QFileInfo::exists(w->machines.at(u"b"_s).folder + u"Merge.part"_s));
    }
};

QTEST_GUILESS_MAIN(MergeTest)
#include "tst_merge.moc"
