#pragma once

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/Account.h"
#include "journal/EntrySearch.h"
#include "storage/CacheStamp.h"
#include "storage/Database.h"

namespace ks {

// The date texts of the owner's entries (table order) and the earliest and latest of them.
struct JournalDates {
    QStringList dates;
    QString FirstJournalDate;  // both today's date text when there are no entries
    QString LastJournalDate;
};

// The owner's entry dates, kept for the session: every move to an earlier or later entry lists
// them and walks them, and the month page asks which of its days hold an entry, so at ten years
// of entries reading them each time would be what the user waits for. Whether an entry is blank
// is read once per row. Everything is read again when anything may have written since (see
// CacheStamp), this session's own saves included.
class JournalDays {
public:
    Result<JournalDates> dates(DatabaseAccess& database, const Account& account, QDate today);

    // Searches the owner's entries for the nearest earlier (later) day than `from` whose entry
    // is not blank. It moves at least one day: `from` itself is never the answer. The search
    // gives up past `bound` (the earliest, for a forward search the latest, of the owner's
    // entry dates) and then names the day at which a day-by-day walk would have stopped: one
    // day beyond the bound, or two days from `from` when the bound is that close.
    Result<EntrySearch> find(DatabaseAccess& database, const Account& account, QDate from,
                             SearchDirection direction, QDate bound);

    // The days from `first` to `last` that hold a non-blank entry of the owner.
    Result<QSet<QDate>> entryDays(DatabaseAccess& database, const Account& account, QDate first,
                                  QDate last);

    // Changes whenever the kept dates are read again.
    quint64 generation() const { return generation_; }

private:
    // A day a load can show (its text in the calendar's own form), with its first row: the one
    // the load shows.
    struct Day {
        QDate day;
        qint64 id = 0;
    };

    Result<Connection> current(DatabaseAccess& database, const Account& account);
    DbStatus read(Connection& connection, const Account& account);
    Result<bool> isBlank(Connection& connection, const Account& account, qint64 id);
    // The kept days from `low` to `high`.
    std::pair<std::vector<Day>::const_iterator, std::vector<Day>::const_iterator> between(
        QDate low, QDate high) const;

    QString owner_;
    // The key the kept days were read with, only to tell accounts apart (never used to open).
    const void* keyIdentity_ = nullptr;
    QStringList texts_;
    QString firstText_;  // empty when no text names a day
    QString lastText_;
    std::vector<Day> days_;  // in day order
    QHash<qint64, bool> blank_;
    CacheStamp stamp_;
    quint64 generation_ = 0;
};

// The same, read afresh, for a caller without a session.
Result<JournalDates> ListJournalDates(DatabaseAccess& database, const Account& account,
                                      QDate today);
Result<QSet<QDate>> journalEntryDays(DatabaseAccess& database, const Account& account, QDate first,
                                     QDate last);
Result<EntrySearch> findJournalEntryDay(DatabaseAccess& database, const Account& account,
                                        QDate from, SearchDirection direction, QDate bound);

}  // namespace ks
