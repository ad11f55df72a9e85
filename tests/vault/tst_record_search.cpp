// The record store's listing and search without windows: what a search finds, how it folds
// letter case and spaces, and how what a session keeps follows every write.
#include <QtTest>

#include "RecordStoreFixture.h"
#include "crypto/PassPhrase.h"

using namespace ks;
using namespace Qt::StringLiterals;
using test::fields;

class RecordSearchTest : public test::RecordStoreFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { startStore(); }
    void cleanup() { endStore(); }

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
};

QTEST_GUILESS_MAIN(RecordSearchTest)
#include "tst_record_search.moc"
