// The journal's dates, its rows in the database, the list of entry dates and the entry search.
#include <QtTest>

#include <QHash>
#include <QRandomGenerator>

#include "JournalTestSupport.h"
#include "crypto/FieldCipher.h"
#include "journal/EntrySearch.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"

using namespace ks;
using test::JournalWorld;

namespace {

const QDate kToday(2026, 3, 5);

QString loaded(JournalWorld& world, const QString& owner, const QString& dateText) {
    Result<std::optional<QString>> entry = LoadJournalEntry(*world.database, owner, dateText);
    return entry.ok() && entry.value() ? *entry.value() : QStringLiteral("<none>");
}

// The search as a person would do it: one day at a time, loading each day and looking at what
// the load shows, until a day shows text or the walk passes the earliest (latest) entry date.
EntrySearch walk(JournalWorld& world, const QString& owner, QDate from, SearchDirection direction,
                 QHash<QDate, QString>& shown) {
    const int step = direction == SearchDirection::Backward ? -1 : 1;
    const JournalDates dates = ListJournalDates(*world.database, owner, kToday).value();
    const QDate first = *readJournalDate(dates.FirstJournalDate);
    const QDate last = *readJournalDate(dates.LastJournalDate);
    QDate day = from.addDays(step);
    for (;;) {
        if (!shown.contains(day)) {
            Result<std::optional<QString>> entry =
                LoadJournalEntry(*world.database, owner, journalDateText(day));
            shown.insert(day, entry.value().value_or(QString()));
        }
        QString text = shown.value(day);
        while (text.startsWith(QLatin1Char(' '))) {
            text.remove(0, 1);
        }
        while (text.endsWith(QLatin1Char(' '))) {
            text.chop(1);
        }
        if (!text.isEmpty()) {
            return {true, day};
        }
        day = day.addDays(step);
        if (step < 0 ? day < first : day > last) {
            return {false, day};
        }
    }
}

}  // namespace

class JournalStoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dateTexts() {
        QCOMPARE(journalDateText(QDate(2026, 3, 5)), QStringLiteral("05/03/2026"));
        QCOMPARE(journalDateText(QDate(2026, 12, 25)), QStringLiteral("25/12/2026"));
        // The same text whatever the system's date settings.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(journalDateText(QDate(2026, 1, 9)), QStringLiteral("09/01/2026"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(journalDateText(QDate(2026, 1, 9)), QStringLiteral("09/01/2026"));
        QLocale::setDefault(before);
        QCOMPARE(journalDateText(firstCalendarDay()), QStringLiteral("01/01/1900"));
        QCOMPARE(journalDateText(lastCalendarDay()), QStringLiteral("31/12/2100"));

        // Read back as day/month/year.
        QCOMPARE(readJournalDate(QStringLiteral("05/03/2026")), QDate(2026, 3, 5));
        QCOMPARE(readJournalDate(QStringLiteral("5/3/2026")), QDate(2026, 3, 5));
        QCOMPARE(readJournalDate(QStringLiteral("12/01/2026")), QDate(2026, 1, 12));
        QVERIFY(!readJournalDate(QStringLiteral("31/02/2026")));
        QVERIFY(!readJournalDate(QStringLiteral("2026-03-05")));
        QVERIFY(!readJournalDate(QStringLiteral("05/03/")));
        QVERIFY(!readJournalDate(QString()));
    }

    void everyCharacterComesBack() {
        JournalWorld world;
        const QString anna = JournalWorld::owner(QStringLiteral("anna"));
        const QString date = journalDateText(kToday);
        QCOMPARE(LoadJournalEntry(*world.database, anna, date).value(), std::nullopt);
        // Short values are stored and shown as typed, never given to the cipher; longer ones
        // come back with every character, leading and trailing spaces included.
        const QStringList texts = {
            QStringLiteral("abc"),
            QString(),
            QStringLiteral("  "),
            QStringLiteral("Grüße – 東京 😀\ttab\u00a0nbsp\nline\u2028separator"),
            QStringLiteral("  leading and trailing   "),
            QStringLiteral("        "),
            QStringLiteral(" \u00e9 "),
            QStringLiteral("    x"),
            QStringLiteral("x    ")};
        for (const QString& typed : texts) {
            QVERIFY(
                writeJournalEntry(*world.database, anna, date, storedJournalValue(typed), kToday)
                    .ok());
            QCOMPARE(loaded(world, anna, date), typed);
        }
        QCOMPARE(test::journalRows(world.env.databasePath()).size(), 1);
        QVERIFY(world.dialogs.shown.isEmpty());
        // A database that cannot be read is reported, never taken for an empty day.
        world.exec(QStringLiteral("ALTER TABLE Journals RENAME TO Other"));
        QVERIFY(!LoadJournalEntry(*world.database, anna, date).ok());
        QVERIFY(!ListJournalDates(*world.database, anna, kToday).ok());
    }

    void listOfEntryDates() {
        JournalWorld world;
        const QString anna = JournalWorld::owner(QStringLiteral("anna"));
        const QString bert = JournalWorld::owner(QStringLiteral("bert"));

        // No entries: both bounds are today.
        JournalDates dates = ListJournalDates(*world.database, anna, kToday).value();
        QVERIFY(dates.dates.isEmpty());
        QCOMPARE(dates.FirstJournalDate, QStringLiteral("05/03/2026"));
        QCOMPARE(dates.LastJournalDate, QStringLiteral("05/03/2026"));

        // Compared as days, not as texts; blank entries take part; other users' do not.
        world.addEntry(anna, QDate(2026, 2, 1), QStringLiteral("February"));
        world.addEntry(bert, QDate(2020, 1, 1), QStringLiteral("Bert long ago"));
        world.addEntry(anna, QDate(2025, 12, 31), QStringLiteral("   "));
        world.addEntry(anna, QDate(2026, 1, 30), QStringLiteral("January"));
        world.addEntry(anna, QDate(2026, 3, 2), QString());
        world.addEntry(bert, QDate(2030, 1, 1), QStringLiteral("Bert later"));
        world.addRawEntry(anna, QStringLiteral("not a day"), QStringLiteral("odd"));
        dates = ListJournalDates(*world.database, anna, kToday).value();
        QCOMPARE(dates.dates,
                 QStringList({QStringLiteral("01/02/2026"), QStringLiteral("31/12/2025"),
                              QStringLiteral("30/01/2026"), QStringLiteral("02/03/2026"),
                              QStringLiteral("not a day")}));
        QCOMPARE(dates.FirstJournalDate, QStringLiteral("31/12/2025"));
        QCOMPARE(dates.LastJournalDate, QStringLiteral("02/03/2026"));
    }

    void entrySearchEqualsTheDayByDayWalk() {
        JournalWorld world;
        const QString anna = JournalWorld::owner(QStringLiteral("anna"));
        const QString bert = JournalWorld::owner(QStringLiteral("bert"));
        const QStringList texts = {
            QStringLiteral("words"), QStringLiteral("ab"),       QString(),
            QStringLiteral(" "),     QStringLiteral("        "), QStringLiteral("\n"),
            QStringLiteral(" a ")};
        QRandomGenerator random(20260305);
        const QDate start(2026, 1, 10);
        for (int i = 0; i < 30; ++i) {
            const QDate day = start.addDays(random.bounded(40));
            const QString& text = texts.at(random.bounded(texts.size()));
            world.addEntry(random.bounded(4) == 0 ? bert : anna, day, text);
        }
        // A second row of a day is never shown: the first one is.
        world.addEntry(anna, start.addDays(-3), QStringLiteral("  "));
        world.addEntry(anna, start.addDays(-3), QStringLiteral("second row"));
        // Texts that are days but not in the calendar's form count for the bounds only.
        world.addRawEntry(anna, QStringLiteral("1/1/2026"), QStringLiteral("odd"));
        world.addRawEntry(anna, QStringLiteral("20/3/2026"), QStringLiteral("odd"));

        // Someone without entries: both bounds are today.
        const QString carl = JournalWorld::owner(QStringLiteral("carl"));
        QHash<QDate, QString> none;
        for (QDate from = kToday.addDays(-3); from <= kToday.addDays(3); from = from.addDays(1)) {
            for (SearchDirection direction :
                 {SearchDirection::Backward, SearchDirection::Forward}) {
                const EntrySearch expected = walk(world, carl, from, direction, none);
                const EntrySearch actual =
                    findJournalEntryDay(*world.database, carl, from, direction, kToday).value();
                QVERIFY(!actual.found && !expected.found);
                QCOMPARE(actual.day, expected.day);
            }
        }

        QHash<QDate, QString> shown;
        const JournalDates dates = ListJournalDates(*world.database, anna, kToday).value();
        const QDate first = *readJournalDate(dates.FirstJournalDate);
        const QDate last = *readJournalDate(dates.LastJournalDate);
        for (QDate from = first.addDays(-4); from <= last.addDays(4); from = from.addDays(1)) {
            for (SearchDirection direction :
                 {SearchDirection::Backward, SearchDirection::Forward}) {
                const EntrySearch expected = walk(world, anna, from, direction, shown);
                const EntrySearch actual =
                    findJournalEntryDay(*world.database, anna, from, direction,
                                        direction == SearchDirection::Backward ? first : last)
                        .value();
                const QString where =
                    QStringLiteral("from %1 %2")
                        .arg(journalDateText(from), direction == SearchDirection::Backward
                                                        ? QStringLiteral("back")
                                                        : QStringLiteral("forward"));
                QVERIFY2(actual.found == expected.found, qPrintable(where));
                QVERIFY2(actual.day == expected.day, qPrintable(where));
            }
        }
    }

    void entryDaysForTheCalendar() {
        JournalWorld world;
        const QString anna = JournalWorld::owner(QStringLiteral("anna"));
        const QString bert = JournalWorld::owner(QStringLiteral("bert"));
        world.addEntry(anna, QDate(2026, 3, 1), QStringLiteral("one"));
        world.addEntry(anna, QDate(2026, 3, 2), QStringLiteral("   "));
        world.addEntry(anna, QDate(2026, 3, 3), QStringLiteral("a longer entry"));
        world.addEntry(bert, QDate(2026, 3, 4), QStringLiteral("Bert's"));
        world.addEntry(anna, QDate(2026, 6, 1), QStringLiteral("June"));
        const QSet<QDate> days =
            journalEntryDays(*world.database, anna, QDate(2026, 2, 22), QDate(2026, 4, 12)).value();
        QCOMPARE(days, QSet<QDate>({QDate(2026, 3, 1), QDate(2026, 3, 3)}));
        // A range longer than one statement takes.
        QCOMPARE(journalEntryDays(*world.database, anna, QDate(2024, 1, 1), QDate(2027, 1, 1))
                     .value()
                     .size(),
                 3);
    }
};

QTEST_GUILESS_MAIN(JournalStoreTest)
#include "tst_journal_store.moc"
