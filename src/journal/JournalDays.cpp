#include "journal/JournalDays.h"

#include <algorithm>

#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/Schema.h"

namespace ks {

DbStatus JournalDays::read(Connection& connection, const Account& account) {
    ++generation_;
    stamp_.drop();
    owner_ = account.owner;
    keyIdentity_ = account.dataKey.get();
    texts_.clear();
    firstText_.clear();
    lastText_.clear();
    days_.clear();
    blank_.clear();
    const Connection::ChangeStamp before = connection.changeStamp();
    std::optional<QDate> first;
    std::optional<QDate> last;
    QHash<QDate, qint64> firstRow;
    Statement query = selectOwned(connection, QStringLiteral("Journals"),
                                  QStringLiteral("Id, Date"), account.owner);
    while (query.next()) {
        const QString text = query.text(1);
        texts_.append(text);
        // Compared as days; a text that names no day takes no part in the bounds.
        const std::optional<QDate> day = readJournalDate(text);
        if (!day) {
            continue;
        }
        if (!first || *day < *first) {
            first = day;
            firstText_ = text;
        }
        if (!last || *day > *last) {
            last = day;
            lastText_ = text;
        }
        // A load matches the date text exactly, so only texts in the calendar's own form can
        // be shown; rows come in Id order, so the first one seen is the one shown.
        if (!firstRow.contains(*day) && journalDateText(*day) == text) {
            firstRow.insert(*day, query.integer(0));
        }
    }
    if (!query.status().ok()) {
        texts_.clear();
        firstText_.clear();
        lastText_.clear();
        return query.status();
    }
    days_.reserve(static_cast<size_t>(firstRow.size()));
    for (auto it = firstRow.cbegin(); it != firstRow.cend(); ++it) {
        days_.push_back({it.key(), it.value()});
    }
    std::sort(days_.begin(), days_.end(), [](const Day& a, const Day& b) { return a.day < b.day; });
    stamp_.mark(before);
    return {};
}

Result<Connection> JournalDays::current(DatabaseAccess& database, const Account& account) {
    Result<Connection> connection = database.open();
    if (connection.ok() && (account.owner != owner_ || account.dataKey.get() != keyIdentity_ ||
                            !stamp_.isCurrent(connection.value()))) {
        if (DbStatus status = read(connection.value(), account); !status.ok()) {
            return status;
        }
    }
    return connection;
}

Result<bool> JournalDays::isBlank(Connection& connection, const Account& account, qint64 id) {
    if (const auto known = blank_.constFind(id); known != blank_.cend()) {
        return known.value();
    }
    Statement entry =
        connection.prepare(QStringLiteral("SELECT Journal, Uuid FROM Journals WHERE Id = ?1"));
    entry.bind(1, id);
    const bool found = entry.next();
    if (!entry.status().ok()) {
        return entry.status();
    }
    bool blank = !found;
    if (found && account.isProtected()) {
        // An entry that does not open is no blank day: it is shown as damaged.
        const std::optional<QString> text = shownJournalText(account, entry.blob(1), entry.text(0));
        blank = text && isBlankJournalText(*text);
    } else if (found) {
        blank = isBlankStoredJournal(entry.text(0));
    }
    blank_.insert(id, blank);
    return blank;
}

std::pair<std::vector<JournalDays::Day>::const_iterator,
          std::vector<JournalDays::Day>::const_iterator>
JournalDays::between(QDate low, QDate high) const {
    const auto before = [](const Day& a, QDate day) { return a.day < day; };
    const auto begin = std::lower_bound(days_.cbegin(), days_.cend(), low, before);
    const auto end = std::lower_bound(begin, days_.cend(), high.addDays(1), before);
    return {begin, end};
}

Result<JournalDates> JournalDays::dates(DatabaseAccess& database, const Account& account,
                                        QDate today) {
    if (Result<Connection> connection = current(database, account); !connection.ok()) {
        return connection.status();
    }
    JournalDates result{texts_, firstText_, lastText_};
    if (firstText_.isEmpty()) {
        result.FirstJournalDate = result.LastJournalDate = journalDateText(today);
    }
    return result;
}

Result<EntrySearch> JournalDays::find(DatabaseAccess& database, const Account& account, QDate from,
                                      SearchDirection direction, QDate bound) {
    const bool back = direction == SearchDirection::Backward;
    const int step = back ? -1 : 1;
    // The walk looks at the day next to `from` in any case, then at every day up to the bound.
    const QDate next = from.addDays(step);
    const QDate low = back ? std::min(bound, next) : next;
    const QDate high = back ? next : std::max(bound, next);

    Result<Connection> connection = current(database, account);
    if (!connection.ok()) {
        return connection.status();
    }
    const auto [begin, end] = between(low, high);
    const qsizetype count = end - begin;
    for (qsizetype i = 0; i < count; ++i) {
        const Day& candidate = back ? *(end - 1 - i) : *(begin + i);
        const Result<bool> blank = isBlank(connection.value(), account, candidate.id);
        if (!blank.ok()) {
            return blank.status();
        }
        if (!blank.value()) {
            return EntrySearch{true, candidate.day};
        }
    }
    const QDate beyond = bound.addDays(step);
    const QDate twoDays = from.addDays(2 * step);
    return EntrySearch{false, back ? std::min(beyond, twoDays) : std::max(beyond, twoDays)};
}

Result<QSet<QDate>> JournalDays::entryDays(DatabaseAccess& database, const Account& account,
                                           QDate first, QDate last) {
    QSet<QDate> marked;
    if (!first.isValid() || !last.isValid() || last < first) {
        return marked;
    }
    Result<Connection> connection = current(database, account);
    if (!connection.ok()) {
        return connection.status();
    }
    const auto [begin, end] = between(first, last);
    for (auto it = begin; it != end; ++it) {
        const Result<bool> blank = isBlank(connection.value(), account, it->id);
        if (!blank.ok()) {
            return blank.status();
        }
        if (!blank.value()) {
            marked.insert(it->day);
        }
    }
    return marked;
}

Result<JournalDates> ListJournalDates(DatabaseAccess& database, const Account& account,
                                      QDate today) {
    return JournalDays().dates(database, account, today);
}

Result<QSet<QDate>> journalEntryDays(DatabaseAccess& database, const Account& account, QDate first,
                                     QDate last) {
    return JournalDays().entryDays(database, account, first, last);
}

Result<EntrySearch> findJournalEntryDay(DatabaseAccess& database, const Account& account,
                                        QDate from, SearchDirection direction, QDate bound) {
    return JournalDays().find(database, account, from, direction, bound);
}

}  // namespace ks
