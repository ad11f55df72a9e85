// The record list of a protected account: what a list shows opens as it is asked for, and
// everything the list does meanwhile finds what it would with every value open.
#include <QtTest>
#include <algorithm>

#include "ProtectedAccount.h"
#include "TestEnvironment.h"
#include "vault/RecordStore.h"

using namespace ks;
using namespace Qt::StringLiterals;

class VaultListingTest : public test::DatabaseTest {
    Q_OBJECT

    std::unique_ptr<RecordStore> store;

private Q_SLOTS:
    void init() {
        startDatabase();
        store = std::make_unique<RecordStore>(*database);
    }
    void cleanup() {
        store.reset();
        endDatabase();
    }

    // A listing for a list that shows a few lines at a time opens nothing before it is asked
    // for: each line opens as it is asked for, a filter opens the categories, the rest opens
    // ahead a step at a time; searches, filters and saves meanwhile find what they would find
    // with every line open.
    void listedValuesOpenAsAskedFor() {
        const Account sealed = test::protectedAccount(*database, u"erin"_s);
        constexpr int kCount = 1200;
        QVERIFY(test::addNumberedRecords(*database, sealed, kCount));
        const ListedRecords listed = store->ListRecordLines(sealed, u"All Records"_s).value();
        QCOMPARE(listed.lines.size(), kCount);
        QVERIFY(std::all_of(listed.lines.cbegin(), listed.lines.cend(), [](const RecordLine& l) {
            return l.sealedAt >= 0 && l.shortName.isEmpty() && l.category.isEmpty();
        }));
        QCOMPARE(listed.shortName(listed.lines[1100]), u"Record 1100"_s);
        QCOMPARE(listed.category(listed.lines[1100]), u"Home"_s);
        QVERIFY(!store->OpenListedAhead(sealed, 500));

        QStringList work;
        QStringList found;
        QStringList workFound;
        for (int i = 0; i < kCount; ++i) {
            const QString name = u"Record %1"_s.arg(i);
            if (i % 3 == 0) {
                work.append(name);
            }
            if (name.startsWith(u"Record 11"_s)) {
                found.append(name);
                if (i % 3 == 0) {
                    workFound.append(name);
                }
            }
        }
        const auto shownNames = [](const ListedRecords& some) {
            QStringList out;
            for (const RecordLine& line : some.lines) {
                out.append(some.shortName(line));
            }
            return out;
        };
        QCOMPARE(shownNames(store->ListRecordLines(sealed, u"Work"_s).value()), work);
        QCOMPARE(
            shownNames(store->ListRecordLines(sealed, u"All Records"_s, u"record 11"_s).value()),
            found);

        // A record saved meanwhile is listed with its values in its place.
        QVERIFY(store->CreateRecord(sealed, {u"Record new"_s, {}, {}, {}, {}, u"Work"_s}).outcome ==
                SaveOutcome::Saved);
        int steps = 1;
        while (!store->OpenListedAhead(sealed, 500)) {
            ++steps;
        }
        QCOMPARE(steps, 2);
        const ListedRecords all = store->ListRecordLines(sealed, u"Work"_s).value();
        QCOMPARE(shownNames(all), work + QStringList{u"Record new"_s});
        QCOMPARE(all.lines.last().shortName, u"Record new"_s);
        // Listed with every value in it, as the companion program lists.
        const QList<RecordLine> opened =
            store->ListRecords(sealed, u"Work"_s, u"record 11"_s).value();
        QStringList openedNames;
        for (const RecordLine& line : opened) {
            QVERIFY(line.sealedAt < 0 && line.category == u"Work"_s);
            openedNames.append(line.shortName);
        }
        QCOMPARE(openedNames, workFound);
    }

    // A search that may wait only so long lists what it found in the texts read by then and
    // says it is unfinished; once the rest is read ahead, the same search finds everything. A
    // search without a bound, and one made after the reading, are never unfinished.
    void aBoundedSearchListsWhatItHasRead() {
        const Account sealed = test::protectedAccount(*database, u"erin"_s);
        constexpr int kCount = 1200;
        QVERIFY(test::addNumberedRecords(*database, sealed, kCount));
        const QString search = u"record 1"_s;
        QStringList everything;
        for (int i = 0; i < kCount; ++i) {
            if (QString::number(i).startsWith(u'1')) {
                everything.append(u"Record %1"_s.arg(i));
            }
        }
        const auto names = [](const ListedRecords& some) {
            QStringList out;
            for (const RecordLine& line : some.lines) {
                out.append(some.shortName(line));
            }
            return out;
        };
        const ListedRecords first =
            store->ListRecordLines(sealed, u"All Records"_s, search, 0).value();
        QVERIFY(first.searchUnfinished);
        const QStringList soFar = names(first);
        QVERIFY(!soFar.isEmpty() && soFar.size() < everything.size());
        QCOMPARE(soFar, everything.mid(0, soFar.size()));
        int steps = 0;
        while (!store->ReadSearchAhead(sealed, 100).value()) {
            QVERIFY(++steps < kCount);
        }
        const ListedRecords done =
            store->ListRecordLines(sealed, u"All Records"_s, search, 0).value();
        QVERIFY(!done.searchUnfinished);
        QCOMPARE(names(done), everything);

        RecordStore fresh(*database);
        const ListedRecords unbounded =
            fresh.ListRecordLines(sealed, u"All Records"_s, search).value();
        QVERIFY(!unbounded.searchUnfinished);
        QCOMPARE(names(unbounded), everything);
    }
};

QTEST_GUILESS_MAIN(VaultListingTest)
#include "tst_vault_listing.moc"
