// The journal on a large database: ten years of daily entries for each of 10 users. Loading a
// day and an entry search across a two-year gap, against the same operations on an empty
// database; the typing statistics on a 1 MB entry against a 1 KB one.
#include <QCoreApplication>
#include <cstdio>

#include "BenchSupport.h"
#include "crypto/FieldCipher.h"
#include "crypto/PassPhrase.h"
#include "journal/JournalDate.h"
#include "journal/JournalDays.h"
#include "journal/JournalStore.h"
#include "journal/TypingStatistics.h"
#include "storage/Database.h"

using namespace ks;

namespace {

constexpr int kUsers = 10;
const QDate kToday(2026, 3, 5);
const QDate kFirstDay = kToday.addYears(-10);
// The first user wrote nothing in these two years.
const QDate kGapStart(2022, 1, 1);
const QDate kGapEnd(2023, 12, 31);

// Ten years of entries of a few hundred characters for every user, in one transaction.
void fill(DatabaseAccess& database) {
    QStringList stored;
    for (int i = 0; i < 16; ++i) {
        stored.append(EncryptField(
            QStringLiteral("Day %1: ").arg(i) +
            QStringLiteral("Walked to the harbour, wrote letters, read until late. ").repeated(5)));
    }
    Result<Connection> connection = database.open();
    Transaction transaction = connection->begin();
    Statement insert = connection->prepare(
        QStringLiteral("INSERT INTO Journals (UserName, Date, Journal, DateCreated, "
                       "LastModified) VALUES (?1, ?2, ?3, ?2, ?2)"));
    for (int user = 0; user < kUsers; ++user) {
        const QString owner = bench::ownerOf(user);
        for (QDate day = kFirstDay; day <= kToday; day = day.addDays(1)) {
            if (user == 0 && day >= kGapStart && day <= kGapEnd) {
                continue;
            }
            insert.reset();
            insert.bind(1, owner)
                .bind(2, journalDateText(day))
                .bind(3, stored.at(static_cast<int>(day.toJulianDay() % stored.size())));
            insert.run();
        }
    }
    transaction.commit();
}

// What the Journal tab does for "<  Previous Entry": the list of dates, then the search, with
// the dates the session keeps.
EntrySearch searchBack(JournalDays& days, DatabaseAccess& database, const QString& owner,
                       QDate from) {
    const JournalDates dates = days.dates(database, owner, kToday).value();
    return days
        .find(database, owner, from, SearchDirection::Backward,
              *readJournalDate(dates.FirstJournalDate))
        .value();
}

double perKey(const QString& text) {
    TypingStatistics statistics;
    QDateTime now(kToday, QTime(10, 0, 0));
    statistics.keyDown(TypingKey::Space, text, now);
    return bench::medianMs(41, [&] {
        now = now.addSecs(1);
        statistics.keyDown(TypingKey::Other, text, now);
        statistics.keyUp(text);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bench::BenchFolder emptyFolder;
    bench::BenchFolder fullFolder;
    DatabaseAccess empty(emptyFolder.databasePath(), PassPhrase());
    DatabaseAccess full(fullFolder.databasePath(), PassPhrase());
    fill(full);

    const QString owner = bench::ownerOf(0);
    const QString day = journalDateText(QDate(2025, 6, 15));
    empty.open();
    full.open();  // each file's key is derived once
    const double loadEmpty = bench::medianMs(101, [&] { LoadJournalEntry(empty, owner, day); });
    const double loadFull = bench::medianMs(101, [&] { LoadJournalEntry(full, owner, day); });

    const QDate afterGap = kGapEnd.addDays(1);
    // Read afresh (the first search of a session, or the first after a save) and kept.
    const auto searchAfresh = [&](DatabaseAccess& database) {
        return bench::medianMs(31, [&] {
            JournalDays days;
            searchBack(days, database, owner, afterGap);
        });
    };
    const auto searchKept = [&](DatabaseAccess& database) {
        JournalDays days;
        return bench::medianMs(31, [&] { searchBack(days, database, owner, afterGap); });
    };
    const double searchEmpty = searchAfresh(empty);
    const double searchFull = searchAfresh(full);
    const double searchKeptEmpty = searchKept(empty);
    const double searchKeptFull = searchKept(full);

    const QDate page(2025, 6, 1);
    const auto marks = [&](DatabaseAccess& database) {
        JournalDays days;
        return bench::medianMs(
            51, [&] { days.entryDays(database, owner, page.addDays(-7), page.addDays(42)); });
    };
    const double marksEmpty = marks(empty);
    const double marksFull = marks(full);

    const QString other = bench::ownerOf(1);
    int next = 0;
    const QString text = QStringLiteral("A new entry for a day far in the future.");
    const double saveEmpty = bench::medianMs(31, [&] {
        const QString date = journalDateText(QDate(2090, 1, 1).addDays(next++));
        journalEntryExists(empty, other, date);
        writeJournalEntry(empty, other, date, storedJournalValue(text), kToday);
    });
    const double saveFull = bench::medianMs(31, [&] {
        const QString date = journalDateText(QDate(2090, 1, 1).addDays(next++));
        journalEntryExists(full, other, date);
        writeJournalEntry(full, other, date, storedJournalValue(text), kToday);
    });

    const QString line = QStringLiteral("Some words typed on a line of the journal\n");
    const QString kilobyte = line.repeated(1024 / line.size() + 1).left(1024);
    const QString megabyte = line.repeated(1024 * 1024 / line.size() + 1).left(1024 * 1024);
    const double keysSmall = perKey(kilobyte);
    const double keysLarge = perKey(megabyte);

    JournalDays days;
    const EntrySearch found = searchBack(days, full, owner, afterGap);
    std::printf("Journal: %d users x 10 years of daily entries, per operation\n", kUsers);
    std::printf("(the search from %s finds %s)\n", qPrintable(journalDateText(afterGap)),
                found.found ? qPrintable(journalDateText(found.day)) : "nothing");
    bench::printFigure("load a day, empty database (baseline)", loadEmpty);
    bench::printRatio("load a day, full database", loadFull, loadEmpty);
    bench::printFigure("entry search, empty database (baseline)", searchEmpty);
    bench::printRatio("entry search across a two-year gap, full database", searchFull, searchEmpty);
    bench::printFigure("entry search, dates kept, empty database (baseline)", searchKeptEmpty);
    bench::printRatio("entry search, dates kept, full database", searchKeptFull, searchKeptEmpty);
    bench::printFigure("days with an entry on a month page, kept, empty (baseline)", marksEmpty);
    bench::printRatio("days with an entry on a month page, kept, full database", marksFull,
                      marksEmpty);
    bench::printFigure("save a new entry, empty database (baseline)", saveEmpty);
    bench::printRatio("save a new entry, full database", saveFull, saveEmpty);
    std::printf("Typing statistics, key down and key up\n");
    bench::printFigure("1 KB entry (baseline)", keysSmall);
    bench::printRatio("1 MB entry", keysLarge, keysSmall);
    return 0;
}
