// The journal of a protected account: entries sealed bound to their rows, the days and the
// search working on them, damaged entries, and the conversion of an account's entries.
#include <QtTest>

#include "ProtectedAccount.h"
#include "StoredBytes.h"
#include "TestEnvironment.h"
#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "journal/JournalDate.h"
#include "journal/JournalDays.h"
#include "journal/JournalSearch.h"
#include "journal/JournalStore.h"
#include "protection/TextSeal.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 3, 5);
const QDate kFirst(2026, 1, 10);
const QDate kSecond(2026, 2, 11);
const QDate kThird(2026, 3, 1);

QString day(QDate date) {
    return journalDateText(date);
}

// A long entry of many lines that no other text holds.
QString longEntry() {
    QString text;
    for (int i = 0; text.size() < 300'000; ++i) {
        text += u"Line %1 of the long entry, Überfahrt nach Ålesund\n"_s.arg(i);
    }
    return text;
}

}  // namespace

class JournalSealedTest : public test::DatabaseTest {
    Q_OBJECT

    // Every row of the owner: Id, stored text and identity, in stored order.
    struct Row {
        qint64 id;
        QString stored;
        QByteArray uuid;
        qint64 modified;
        bool operator==(const Row&) const = default;
    };
    QList<Row> rows(const QString& owner) {
        Connection connection = database->open().value();
        Statement query = connection.prepare(
            u"SELECT Id, Journal, Uuid, Modified FROM Journals WHERE UserName = ?1 ORDER BY Id"_s);
        query.bind(1, owner);
        QList<Row> out;
        while (query.next()) {
            out.append({query.integer(0), query.text(1), query.blob(2), query.integer(3)});
        }
        return out;
    }
    void setStored(qint64 id, const QString& stored) {
        Connection connection = database->open().value();
        Statement update = connection.prepare(u"UPDATE Journals SET Journal = ?1 WHERE Id = ?2"_s);
        QVERIFY(update.bind(1, stored).bind(2, id).run().ok());
    }
    QString loaded(const Account& account, QDate date) {
        const auto entry = LoadJournalEntry(*database, account, day(date));
        return entry.ok() && entry.value() ? *entry.value() : u"<none>"_s;
    }
    QList<QDate> found(const Account& account, const QString& text) {
        QList<QDate> days;
        const Result<QList<JournalHit>> hits = searchJournal(*database, account, text);
        for (const JournalHit& hit : hits.value()) {
            days.append(hit.day);
        }
        return days;
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void entriesRoundTripSealedAndNeverReadableInTheFile() {
        const Account anna = test::protectedAccount(*database, u"anna"_s);
        const QString nonLatin = u"Привет, 世界 — Straße 🌍 مرحبا"_s;
        const QString long1 = longEntry();
        const QList<std::pair<QDate, QString>> entries{
            {kFirst, u"x"_s}, {kSecond, nonLatin}, {kThird, long1}};
        for (const auto& [date, text] : entries) {
            QCOMPARE(writeSealedJournalEntry(*database, anna, day(date), text, kToday).value(),
                     true);
            QCOMPARE(loaded(anna, date), text);
        }
        // A second save of a day keeps its row and identity, with a new time of last write.
        const QList<Row> before = rows(anna.owner);
        QTest::qWait(2);
        QCOMPARE(writeSealedJournalEntry(*database, anna, day(kFirst), u"y"_s, kToday).value(),
                 false);
        const QList<Row> after = rows(anna.owner);
        QCOMPARE(after.size(), 3);
        QCOMPARE(after[0].uuid, before[0].uuid);
        QVERIFY(after[0].modified > before[0].modified);
        QCOMPARE(loaded(anna, kFirst), u"y"_s);
        for (const Row& row : after) {
            QVERIFY(looksSealed(row.stored));
            QCOMPARE(row.uuid.size(), 16);
        }
        // Days, moves and search work as on plain entries.
        QCOMPARE(ListJournalDates(*database, anna, kToday).value().dates,
                 (QStringList{day(kFirst), day(kSecond), day(kThird)}));
        QCOMPARE(journalEntryDays(*database, anna, kFirst, kToday).value(),
                 (QSet<QDate>{kFirst, kSecond, kThird}));
        QCOMPARE(findJournalEntryDay(*database, anna, kThird, SearchDirection::Backward, kFirst)
                     .value()
                     .day,
                 kSecond);
        QCOMPARE(found(anna, u"STRASSE"_s), QList<QDate>{kSecond});
        QCOMPARE(found(anna, u"ålesund"_s), QList<QDate>{kThird});
        // Neither the texts nor their shared cipher texts are anywhere in the file.
        for (const QString& text : {nonLatin, long1.left(2000), u"Straße"_s}) {
            QVERIFY(!test::databaseHoldsText(env->databasePath(), text));
            QVERIFY(!test::databaseHoldsText(env->databasePath(), EncryptField(text)));
        }
        // The look is real: a plain account's entry is found.
        const QString bert = EncryptField(u"bert"_s);
        QVERIFY(
            writeJournalEntry(*database, bert, day(kFirst), storedJournalValue(nonLatin), kToday)
                .ok());
        QVERIFY(test::databaseHoldsText(env->databasePath(), EncryptField(nonLatin)));
    }

    void damagedEntriesShowAsSuchWhileTheRestOpens() {
        const Account anna = test::protectedAccount(*database, u"anna"_s);
        for (const QDate date : {kFirst, kSecond, kThird}) {
            QVERIFY(writeSealedJournalEntry(*database, anna, day(date), u"entry of "_s + day(date),
                                            kToday)
                        .ok());
        }
        const QList<Row> stored = rows(anna.owner);
        // One character changed in the first; the third's value moved into the second's row.
        QString flipped = stored[0].stored;
        const qsizetype at = flipped.size() / 2;
        flipped[at] = flipped[at] == u'A' ? u'B' : u'A';
        setStored(stored[0].id, flipped);
        setStored(stored[1].id, stored[2].stored);
        QCOMPARE(loaded(anna, kFirst), damagedValueText());
        QCOMPARE(loaded(anna, kSecond), damagedValueText());
        QCOMPARE(loaded(anna, kThird), u"entry of "_s + day(kThird));
        QCOMPARE(found(anna, u"entry"_s), QList<QDate>{kThird});
        // A damaged entry is still an entry: its day stays marked.
        QCOMPARE(journalEntryDays(*database, anna, kFirst, kToday).value(),
                 (QSet<QDate>{kFirst, kSecond, kThird}));
    }

    void accountsSharingTheFileNeverSeeEachOther() {
        const Account anna = test::protectedAccount(*database, u"anna"_s);
        const Account carl = test::protectedAccount(*database, u"carl"_s, u"another pass phrase"_s);
        const Account bert(EncryptField(u"bert"_s));
        QVERIFY(
            writeSealedJournalEntry(*database, anna, day(kFirst), u"anna's lake"_s, kToday).ok());
        QVERIFY(
            writeSealedJournalEntry(*database, carl, day(kSecond), u"carl's lake"_s, kToday).ok());
        QVERIFY(writeJournalEntry(*database, bert.owner, day(kFirst),
                                  storedJournalValue(u"bert's lake"_s), kToday)
                    .ok());
        QCOMPARE(loaded(anna, kFirst), u"anna's lake"_s);
        QCOMPARE(loaded(bert, kFirst), u"bert's lake"_s);
        QCOMPARE(loaded(carl, kFirst), u"<none>"_s);
        QCOMPARE(found(anna, u"lake"_s), QList<QDate>{kFirst});
        QCOMPARE(found(bert, u"lake"_s), QList<QDate>{kFirst});
        QCOMPARE(found(carl, u"lake"_s), QList<QDate>{kSecond});
        QCOMPARE(ListJournalDates(*database, carl, kToday).value().dates,
                 QStringList{day(kSecond)});
        // One kept list of days follows whichever account asks.
        JournalDays days;
        QCOMPARE(days.entryDays(*database, anna, kFirst, kToday).value(), QSet<QDate>{kFirst});
        QCOMPARE(days.entryDays(*database, carl, kFirst, kToday).value(), QSet<QDate>{kSecond});
    }

    void sealJournalConvertsEveryEntryKeepingItsIdentity() {
        const QString owner = EncryptField(u"anna"_s);
        const QStringList texts{u"ok"_s, u"  spaces kept  "_s, longEntry()};
        const QList<QDate> dates{kFirst, kSecond, kThird};
        for (int i = 0; i < texts.size(); ++i) {
            QVERIFY(writeJournalEntry(*database, owner, day(dates[i]), storedJournalValue(texts[i]),
                                      kToday)
                        .ok());
        }
        const QString other = EncryptField(u"bert"_s);
        QVERIFY(writeJournalEntry(*database, other, day(kFirst), storedJournalValue(u"bert's"_s),
                                  kToday)
                    .ok());
        const QList<Row> before = rows(owner);
        const QList<Row> otherBefore = rows(other);
        const Account sealed = test::protectedAccount(*database, u"anna"_s);
        // Stopped after the first row: nothing is kept once the transaction is rolled back.
        {
            WriteOperation write(*database);
            int told = 0;
            const AccountConversion stop{Account(owner), sealed, [&told] { return ++told < 1; }};
            QCOMPARE(sealJournal(write.connection(), stop).code, DbCode::Cancelled);
            QCOMPARE(told, 1);
        }
        QCOMPARE(rows(owner), before);
        // Converted: every entry sealed in its own row, opened by the key, the rest untouched.
        QTest::qWait(2);
        WriteOperation write(*database);
        int told = 0;
        const AccountConversion all{Account(owner), sealed, [&told] { return ++told > 0; }};
        QVERIFY(sealJournal(write.connection(), all).ok());
        QVERIFY(write.commit().ok());
        QCOMPARE(told, texts.size());
        const QList<Row> after = rows(owner);
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i].id, before[i].id);
            QCOMPARE(after[i].uuid, before[i].uuid);
            QVERIFY(after[i].modified > before[i].modified);
            QVERIFY(looksSealed(after[i].stored));
            QCOMPARE(loaded(sealed, dates[i]), texts[i]);
        }
        QCOMPARE(rows(other), otherBefore);
    }
};

QTEST_GUILESS_MAIN(JournalSealedTest)
#include "tst_journal_sealed.moc"
