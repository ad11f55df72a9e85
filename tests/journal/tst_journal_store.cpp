// The list of entry dates, the days that hold an entry, the search for the next entry and the
// search of entries by what they say, with the snippets of the days found.
#include <QtTest>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "core/TextFolding.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalDays.h"
#include "journal/JournalSearch.h"
#include "journal/JournalStore.h"
#include "storage/FileServices.h"

using namespace ks;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2026, 3, 5);

// The search as a person would do it: one day at a time, looking at what the load of each day
// shows, until a day shows more than spaces or the walk passes the bound.
EntrySearch walk(const QHash<QDate, QString>& shown, QDate from, int step, QDate bound) {
    QDate day = from.addDays(step);
    while (shown.value(day).count(u' ') == shown.value(day).size()) {
        day = day.addDays(step);
        if (step * bound.daysTo(day) > 0) {
            return {false, day};
        }
    }
    return {true, day};
}

}  // namespace

class JournalStoreTest : public test::DatabaseTest {
    Q_OBJECT

    const QString anna = EncryptField(u"anna"_s);
    const QString bert = EncryptField(u"bert"_s);

private Q_SLOTS:
    void init() { startDatabase(); }
    void cleanup() { endDatabase(); }

    // Day texts are "dd/MM/yyyy"; a stored text is read in any padding, spaces around it
    // ignored, and anything else names no day.
    void dayTexts() {
        QCOMPARE(journalDateText(QDate(2026, 3, 5)), u"05/03/2026"_s);
        QCOMPARE(journalDateText(QDate(987, 12, 31)), u"31/12/987"_s);
        QCOMPARE(readJournalDate(u"05/03/2026"_s), QDate(2026, 3, 5));
        QCOMPARE(readJournalDate(u" 5/3/2026 "_s), QDate(2026, 3, 5));
        for (const QString& bad : {u""_s, u"5/3"_s, u"1/2/2020/4"_s, u"1//2020"_s, u"1/2/"_s,
                                   u"a/2/2020"_s, u"31/02/2020"_s, u"/2/2020"_s}) {
            QVERIFY2(!readJournalDate(bad), qPrintable(bad));
        }
    }

    // Blankness is told from as little of the stored value as it takes, with the same answer
    // as the whole shown text gives.
    void blanknessOfStoredEntries() {
        const QString spaces = QString(100, u' ');
        const QStringList texts = {u"ab"_s,
                                   u"   "_s,
                                   spaces,
                                   spaces + u"x"_s,
                                   u"x"_s + spaces,
                                   QString(31, u' ') + u"\u0416"_s,
                                   QString(32, u' ') + u"\u0416\u0436"_s,
                                   spaces + u"\n"_s,
                                   u"<b>x</b>"_s};
        for (const QString& text : texts) {
            QVERIFY2(isBlankStoredJournal(storedJournalValue(text)) == isBlankJournalText(text),
                     qPrintable(u"[%1]"_s.arg(text)));
        }
    }

    void entryDatesAndSearch() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // no part of date texts
        // Adds a row with the date text and the stored value exactly as given, or the entry of a
        // day as the program stores it (plain when shorter than 4 characters).
        const auto addRaw = [&](const QString& owner, const QString& dateText,
                                const QString& stored) {
            const QString sql =
                u"INSERT INTO Journals (UserName, Date, Journal) VALUES ('%1', '%2', '%3')"_s;
            QVERIFY(database->open()->exec(sql.arg(owner, dateText, stored)).ok());
        };
        const auto add = [&](const QString& owner, QDate day, const QString& text) {
            addRaw(owner, journalDateText(day), storedJournalValue(text));
        };
        const auto listed = [&] {
            const JournalDates dates = ListJournalDates(*database, anna, kToday).value();
            return dates.dates + QStringList{dates.FirstJournalDate, dates.LastJournalDate};
        };
        QCOMPARE(listed(), QStringList({u"05/03/2026"_s, u"05/03/2026"_s}));  // bounds today
        // Compared as days (day/month/year), not as texts; blank entries and texts that are days
        // but not in the calendar's form take part; texts that name no day and other users'
        // entries do not.
        add(anna, QDate(2026, 2, 1), u"February"_s);
        add(bert, QDate(2020, 1, 1), u"Bert long ago"_s);
        add(anna, QDate(2025, 12, 25), u"   "_s);
        add(anna, QDate(2026, 1, 30), u"January"_s);
        addRaw(anna, u"1/3/2026"_s, u"odd"_s);
        add(bert, QDate(2030, 1, 1), u"Bert later"_s);
        addRaw(anna, u"31/02/2026"_s, u"odd"_s);
        // A second row of a day is never shown: the first one is.
        add(anna, QDate(2026, 2, 10), u"        "_s);
        add(anna, QDate(2026, 2, 10), u"second row"_s);
        QCOMPARE(listed(), QStringList({u"01/02/2026"_s, u"25/12/2025"_s, u"30/01/2026"_s,
                                        u"1/3/2026"_s, u"31/02/2026"_s, u"10/02/2026"_s,
                                        u"10/02/2026"_s, u"25/12/2025"_s, u"1/3/2026"_s}));
        // The days the calendar marks: the owner's non-blank entries, in a range of any length.
        QCOMPARE(journalEntryDays(*database, anna, QDate(2019, 1, 1), QDate(2031, 1, 1)).value(),
                 QSet<QDate>({QDate(2026, 1, 30), QDate(2026, 2, 1)}));

        // The entry search finds the day the walk reaches, from every day in and around the
        // bounds; carl has no entries, so both his bounds are today.
        const QStringList texts = {u"words"_s,  u"ab"_s, QString(), u" "_s,
                                   u"      "_s, u"\n"_s, u" a "_s};
        QRandomGenerator random(20260305);
        for (int i = 0; i < 30; ++i) {
            const QDate day = QDate(2026, 1, 10).addDays(random.bounded(40));
            const QString& text = texts.at(random.bounded(texts.size()));
            add(random.bounded(4) == 0 ? bert : anna, day, text);
        }
        for (const QString& who : {anna, EncryptField(u"carl"_s)}) {
            const JournalDates dates = ListJournalDates(*database, who, kToday).value();
            const QDate first = *readJournalDate(dates.FirstJournalDate);
            const QDate last = *readJournalDate(dates.LastJournalDate);
            QHash<QDate, QString> shown;
            for (QDate day = first.addDays(-8); day <= last.addDays(8); day = day.addDays(1)) {
                const auto entry = LoadJournalEntry(*database, who, journalDateText(day));
                shown.insert(day, entry.value().value_or(QString()));
            }
            for (QDate from = first.addDays(-4); from <= last.addDays(4); from = from.addDays(1)) {
                for (const int step : {-1, 1}) {
                    const auto direction =
                        step < 0 ? SearchDirection::Backward : SearchDirection::Forward;
                    const QDate bound = step < 0 ? first : last;
                    const EntrySearch expected = walk(shown, from, step, bound);
                    const auto actual = findJournalEntryDay(*database, who, from, direction, bound);
                    QVERIFY2(actual.value().found == expected.found &&
                                 actual.value().day == expected.day,
                             qPrintable(journalDateText(from) + QString::number(step)));
                }
            }
        }
    }

    // The dates kept for a session, and what they know of blank entries, follow every write:
    // this session's own saves and another running copy's.
    void keptDatesFollowEveryWrite() {
        DatabaseAccess& session = *database;
        DatabaseAccess otherCopy(env->databasePath(), PassPhrase());
        const QDate day(2026, 2, 1);
        const QDate later(2026, 2, 20);
        JournalDays days;
        const auto save = [&](DatabaseAccess& copy, QDate when, const QString& text) {
            QVERIFY(writeJournalEntry(copy, anna, journalDateText(when), storedJournalValue(text),
                                      kToday)
                        .ok());
        };
        const auto found = [&](QDate from) {
            return days.find(session, anna, from, SearchDirection::Forward, later).value();
        };
        const auto marked = [&] { return days.entryDays(session, anna, day, later).value(); };

        QCOMPARE(days.dates(session, anna, kToday).value().dates, QStringList());
        const quint64 kept = days.generation();
        QCOMPARE(days.dates(session, anna, kToday).value().dates, QStringList());
        QCOMPARE(days.generation(), kept);  // nothing written: read once

        save(session, day, u"          "_s);
        save(session, later, u"later"_s);
        QCOMPARE(days.dates(session, anna, kToday).value().dates,
                 QStringList({journalDateText(day), journalDateText(later)}));
        QVERIFY(days.generation() != kept);
        QCOMPARE(found(day.addDays(-1)).day, later);  // the blank day is passed over
        QCOMPARE(marked(), QSet<QDate>({later}));

        // Another copy writes the blank day's entry: it is no longer blank here either.
        save(otherCopy, day, u"written elsewhere"_s);
        QCOMPARE(found(day.addDays(-1)).day, day);
        QCOMPARE(marked(), QSet<QDate>({day, later}));
        // This session blanks it again.
        save(session, day, u"     "_s);
        QCOMPARE(found(day.addDays(-1)).day, later);
        QCOMPARE(marked(), QSet<QDate>({later}));
        // Another user's session never sees anna's days.
        QCOMPARE(days.dates(session, bert, kToday).value().dates, QStringList());
    }

    void findsTheOwnersDaysNewestFirst() {
        test::ScriptedDialogs dialogs;
        setCipherDialogs(&dialogs, u"Keystead"_s);
        const auto write = [&](const QString& owner, QDate day, const QString& text) {
            QVERIFY(writeJournalEntry(*database, owner, journalDateText(day),
                                      storedJournalValue(text), QDate(2026, 12, 7))
                        .ok());
        };
        write(anna, QDate(2025, 5, 1), u"Walked to the LAKE with Tom."_s);
        write(anna, QDate(2026, 2, 3), u"Der See war gefroren; lake frozen."_s);
        write(anna, QDate(2024, 12, 31), u"Nothing about water."_s);
        write(anna, QDate(2026, 1, 1), u"Озеро — lake in Russian"_s);
        write(anna, QDate(2023, 7, 7), u"ok"_s);  // shorter than 4: stored plain
        write(bert, QDate(2026, 3, 3), u"Bert's lake"_s);

        const QList<JournalHit> hits = searchJournal(*database, anna, u"Lake"_s).value();
        QList<QDate> days;
        for (const JournalHit& hit : hits) {
            days.append(hit.day);
        }
        QCOMPARE(days, (QList<QDate>{QDate(2026, 2, 3), QDate(2026, 1, 1), QDate(2025, 5, 1)}));
        QCOMPARE(hits.at(0).snippet, u"Der See war gefroren; lake frozen."_s);
        QCOMPARE(searchJournal(*database, anna, u"озеро"_s).value().size(), 1);  // any case
        QCOMPARE(searchJournal(*database, anna, u"ok"_s).value().size(), 1);     // plain rows
        QVERIFY(searchJournal(*database, anna, QString()).value().isEmpty());
        QVERIFY(searchJournal(*database, bert, u"Tom"_s).value().isEmpty());

        // Letter case folded fully, and any run of white space, line breaks too, as one space.
        write(anna, QDate(2022, 1, 1), u"Zur Großen Straße.\nThe end\n\n  start of it."_s);
        write(anna, QDate(2022, 1, 2), u"İstanbul Bank, ΣΊΣΥΦΟΣ"_s);
        const auto found = [&](const QString& text) {
            QStringList snippets;
            const QList<JournalHit> result = searchJournal(*database, anna, text).value();
            for (const JournalHit& hit : result) {
                snippets.append(hit.snippet.mid(hit.matchStart));
            }
            return snippets;
        };
        QCOMPARE(found(u"grossen strasse"_s),
                 QStringList{u"Großen Straße. The end start of it."_s});
        QCOMPARE(found(u"END START"_s), QStringList{u"end start of it."_s});
        QCOMPARE(found(u"istanbul"_s), QStringList{u"İstanbul Bank, ΣΊΣΥΦΟΣ"_s});
        QCOMPARE(found(u"σίσυφος"_s), QStringList{u"ΣΊΣΥΦΟΣ"_s});
        QVERIFY(found(u" "_s).size() > 1);
        QVERIFY(found(u"endstart"_s).isEmpty());
        QCOMPARE(dialogs.texts(), QStringList());
        setCipherDialogs(nullptr, QString());
    }

    // Where a search text stands in an entry, over every character it was folded from.
    void matchesCoverWhatTheyWereFoldedFrom() {
        const auto match = [](const QString& entry, const QString& text) {
            const std::optional<TextSpan> span = findFolded(entry, foldedForSearch(text));
            return span ? entry.mid(span->start, span->length) : u"(none)"_s;
        };
        QCOMPARE(match(u"Die Straße ist"_s, u"STRASSE"_s), u"Straße"_s);
        QCOMPARE(match(u"Die Straße ist"_s, u"sse"_s), u"ße"_s);
        QCOMPARE(match(u"Die Straße ist"_s, u"stras"_s), u"Straß"_s);
        QCOMPARE(match(u"the İstanbul Bank"_s, u"ISTANBUL"_s), u"İstanbul"_s);
        QCOMPARE(match(u"end \n\t start"_s, u"end start"_s), u"end \n\t start"_s);
        QCOMPARE(match(u"x 🚢 Ship y"_s, u"🚢 SHIP"_s), u"🚢 Ship"_s);
        QCOMPARE(match(u"ﬁne"_s, u"FI"_s), u"ﬁ"_s);
        QCOMPARE(match(u"nothing here"_s, u"else"_s), u"(none)"_s);
        QCOMPARE(match(u"nothing here"_s, QString()), u"(none)"_s);
    }

    void snippetsStayOnOneShortLineWithTheMatchNearTheStart() {
        const QString lines = QString(100, u'a') + u"\nneedle\n"_s + QString(100, u'b');
        const QString snippet = journalSnippet(lines, lines.indexOf(u"needle"_s), 6);
        QVERIFY(snippet.startsWith(u"…"_s));
        QVERIFY(snippet.endsWith(u"…"_s));
        QVERIFY(snippet.contains(u"a needle b"_s));
        QVERIFY(snippet.size() < 100);
        // A short entry is shown whole, without marks.
        QCOMPARE(journalSnippet(u"a needle"_s, 2, 6), u"a needle"_s);

        // Line breaks and runs of spaces before the match are folded like the rest.
        const QString entry = u"Day one.\n\n  Walked   along the quay in the rain,\t"_s +
                              u"then the Harbour at dusk, the boats all in."_s;
        const qsizetype at = entry.indexOf(u"harbour"_s, 0, Qt::CaseInsensitive);
        JournalHit hit{QDate(2026, 1, 2), QString(), -1};
        hit.snippet = journalSnippet(entry, at, 7, &hit.matchStart);
        QCOMPARE(hit.snippet.mid(hit.matchStart, 7), u"Harbour"_s);
        QVERIFY(hit.snippet.startsWith(u"…"_s));

        // At most about `lead` characters stay before the match, from the start of a word.
        const QString near = snippetNearMatch(hit, 12);
        QVERIFY2(near.startsWith(u"…then the Harbour"_s), qPrintable(near));
        QVERIFY(near.endsWith(hit.snippet.mid(hit.matchStart)));
        // A match near the start is left as it is.
        JournalHit early{QDate(2026, 1, 2), u"the Harbour at dusk"_s, 4};
        QCOMPARE(snippetNearMatch(early, 12), u"the Harbour at dusk"_s);
    }

    void charactersOutsideTheBasicPlaneAreNeverCutInHalf() {
        const QString ship = u"🚢"_s;  // two UTF-16 units
        for (qsizetype pad = 0; pad < 4; ++pad) {
            const QString entry =
                QString(pad, u'x') + ship.repeated(40) + u" needle "_s + ship.repeated(60);
            const qsizetype at = entry.indexOf(u"needle"_s);
            qsizetype start = 0;
            const QString snippet = journalSnippet(entry, at, 6, &start);
            QCOMPARE(snippet.mid(start, 6), u"needle"_s);
            for (qsizetype i = 0; i < snippet.size(); ++i) {
                const QChar c = snippet.at(i);
                QVERIFY(!c.isHighSurrogate() ||
                        (i + 1 < snippet.size() && snippet.at(i + 1).isLowSurrogate()));
                QVERIFY(!c.isLowSurrogate() || (i > 0 && snippet.at(i - 1).isHighSurrogate()));
            }
            const QString near = snippetNearMatch({QDate(2026, 1, 2), snippet, start}, 5);
            QVERIFY(!near.at(1).isLowSurrogate());
        }
    }
};

QTEST_GUILESS_MAIN(JournalStoreTest)
#include "tst_journal_store.moc"
