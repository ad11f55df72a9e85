#include "journal/EntrySearch.h"

#include <QHash>
#include <algorithm>
#include <vector>

#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/Schema.h"

namespace ks {

namespace {

struct Candidate {
    QDate day;
    qint64 id;  // the first row of the day: the one a load of that day shows
};

// The owner's days that a load can show, within [low, high], each with its first row.
Result<std::vector<Candidate>> candidateDays(Connection& connection, const QString& owner,
                                             QDate low, QDate high) {
    QHash<QDate, qint64> firstRow;
    Statement query =
        selectOwned(connection, QStringLiteral("Journals"), QStringLiteral("Id, Date"), owner);
    while (query.next()) {
        const QString text = query.text(1);
        const std::optional<QDate> day = readJournalDate(text);
        // A load matches the date text exactly, so only texts in the calendar's own form count.
        if (!day || *day < low || *day > high || journalDateText(*day) != text) {
            continue;
        }
        firstRow.insert(*day, std::min(firstRow.value(*day, query.integer(0)), query.integer(0)));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    std::vector<Candidate> days;
    days.reserve(static_cast<size_t>(firstRow.size()));
    for (auto it = firstRow.cbegin(); it != firstRow.cend(); ++it) {
        days.push_back({it.key(), it.value()});
    }
    return days;
}

}  // namespace

Result<EntrySearch> findJournalEntryDay(DatabaseAccess& database, const QString& owner, QDate from,
                                        SearchDirection direction, QDate bound) {
    const bool back = direction == SearchDirection::Backward;
    const int step = back ? -1 : 1;
    // The walk looks at the day next to `from` in any case, then at every day up to the bound.
    const QDate next = from.addDays(step);
    const QDate low = back ? std::min(bound, next) : next;
    const QDate high = back ? next : std::max(bound, next);

    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Result<std::vector<Candidate>> found = candidateDays(connection.value(), owner, low, high);
    if (!found.ok()) {
        return found.status();
    }
    std::vector<Candidate>& days = found.value();
    std::sort(days.begin(), days.end(), [back](const Candidate& a, const Candidate& b) {
        return back ? a.day > b.day : a.day < b.day;
    });

    Statement entry =
        connection->prepare(QStringLiteral("SELECT Journal FROM Journals WHERE Id = ?1"));
    for (const Candidate& candidate : days) {
        entry.reset();
        entry.bind(1, candidate.id);
        if (entry.next() && !isBlankStoredJournal(entry.text(0))) {
            return EntrySearch{true, candidate.day};
        }
        if (!entry.status().ok()) {
            return entry.status();
        }
    }
    const QDate beyond = bound.addDays(step);
    const QDate twoDays = from.addDays(2 * step);
    return EntrySearch{false, back ? std::min(beyond, twoDays) : std::max(beyond, twoDays)};
}

}  // namespace ks
