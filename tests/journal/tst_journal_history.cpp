// The texts a journal entry's saves keep: runs of quick saves keep their oldest text, restores
// keep what they replace, the number kept is held, and a protected account's texts stay sealed.
#include <QtTest>

#include "ProtectedAccount.h"
#include "TestEnvironment.h"
#include "crypto/FieldCipher.h"
#include "journal/JournalStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 3, 5);
const QString kDay = u"05/03/2026"_s;

}  // namespace

class JournalHistoryTest : public test::DatabaseTest {
    Q_OBJECT

    const QString anna = EncryptField(u"anna"_s), bert = EncryptField(u"bert"_s);

    bool save(const Account& account, const QString& text, const JournalKeeping& keeping = {}) {
        return (account.isProtected()
                    ? writeSealedJournalEntry(*database, account, kDay, text, kToday, keeping)
                    : writeJournalEntry(*database, account.owner, kDay, storedJournalValue(text),
                                        kToday, keeping))
            .ok();
    }
    QStringList kept(const Account& account) {
        const Result<QList<JournalVersion>> listed = ListJournalHistory(*database, account, kDay);
        QStringList texts;
        for (const JournalVersion& version :
             listed.ok() ? listed.value() : QList<JournalVersion>{}) {
            texts.append(version.damaged ? u"(damaged)"_s : version.text);
        }
        return listed.ok() ? texts : QStringList{u"(failed)"_s};
    }
    // The shown text was written longer ago than a run's gap.
    void later() {
        QVERIFY(database->open()
                    ->exec(u"UPDATE Journals SET Modified = Modified - %1"_s.arg(kJournalRunMs + 1))
                    .ok());
    }

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    void aRunOfSavesKeepsItsOldestText_data() {
        QTest::addColumn<bool>("sealed");
        QTest::newRow("shared") << false;
        QTest::newRow("protected") << true;
    }
    void aRunOfSavesKeepsItsOldestText() {
        QFETCH(bool, sealed);
        const Account account = sealed ? test::protectedAccount(*database, u"anna"_s) : anna;
        QVERIFY(save(account, u"first text"_s));
        QVERIFY(save(bert, u"bert's text"_s));
        QCOMPARE(kept(account), QStringList());
        // Saves a moment apart: only the text the run began with.
        QVERIFY(save(account, u"second"_s));
        QVERIFY(save(account, u"third"_s));
        QVERIFY(save(account, u"fourth"_s));
        QCOMPARE(kept(account), QStringList{u"first text"_s});
        // After a pause a new run begins with the text it replaces.
        later();
        QVERIFY(save(account, u"fifth"_s));
        QVERIFY(save(account, u"sixth"_s));
        QCOMPARE(kept(account), (QStringList{u"fourth"_s, u"first text"_s}));
        // A restore keeps what it replaces, however recent, and is undone the same way.
        QVERIFY(save(account, u"first text"_s, {10, true}));
        QCOMPARE(kept(account), (QStringList{u"sixth"_s, u"fourth"_s, u"first text"_s}));
        QCOMPARE(kept(bert), QStringList());
        if (sealed) {
            QCOMPARE(
                test::countOf(database->open().value(),
                              u"SELECT count(*) FROM JournalsHistory WHERE Journal = '%1'"_s.arg(
                                  EncryptField(u"fourth"_s))),
                0);
            QVERIFY(database->open()
                        ->exec(u"UPDATE JournalsHistory SET Journal = 'x' || Journal"_s)
                        .ok());
            QCOMPARE(kept(account).value(0), u"(damaged)"_s);
        }
    }

    void onlyTheNewestAreKept() {
        for (int i = 0; i < 8; ++i) {
            later();
            QVERIFY(save(anna, u"text %1"_s.arg(i), {3, false}));
        }
        QCOMPARE(kept(anna), (QStringList{u"text 6"_s, u"text 5"_s, u"text 4"_s}));
        later();
        QVERIFY(save(anna, u"none kept"_s, {0, false}));
        QCOMPARE(kept(anna), QStringList());
    }
};

QTEST_GUILESS_MAIN(JournalHistoryTest)
#include "tst_journal_history.moc"
