#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "storage/CacheStamp.h"
#include "storage/Database.h"
#include "vault/VaultAccount.h"

namespace ks {

// Which records hold which short name (compared trimmed and in upper case), kept for the session so
// that the uniqueness check of a save is a look through the kept names rather than a walk of the
// table. Only a hash of each name is kept (16 bytes a record); a record whose hash matches is read
// back to compare the names themselves. The names are read owner by owner, a step at a time ahead
// of the check (while the user types) or at the check itself, and read again whenever the stamp
// says that anything else may have written since the index was last brought up to date. Whose names
// count: for an account in the shared format, every name of the table that it can read (a protected
// account's sealed names are passed over); for a protected account, its own names only, since
// nobody else's can be read with its key. An index asked for an account of the other kind, or for
// another protected account, starts again.
class ShortNameIndex {
public:
    // How names are compared for uniqueness: spaces around and letter case do not count.
    static QString comparisonKey(const QString& name) { return name.trimmed().toUpper(); }

    // Reads up to `rows` more of the table's names ahead of a check; true once the index is
    // complete and current. A write in between makes the reading start again.
    Result<bool> readAhead(Connection& connection, const Account& account, int rows);

    // Whether a record other than `exceptCounter` has the short name. Asked under the writer's
    // lock of the save that follows; reads whatever is left to read first.
    Result<bool> inUse(Connection& connection, const Account& account, const QString& shortName,
                       qint64 exceptCounter);

    // The record `counter` now holds `shortName`: called once this connection committed a save
    // whose name inUse() checked, with the stamp `written` taken before that commit, so the
    // index stays current without a walk.
    void saved(const Connection::ChangeStamp& written, qint64 counter, const QString& shortName);
    // The record `counter` is gone: called once its removal is committed, with what isCurrent()
    // said under the same writer's lock before it.
    void removed(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter);
    bool isCurrent(Connection& connection, const Account& account) {
        return covers(account) && stamp_.isCurrent(connection);
    }

private:
    struct Entry {
        qint64 counter = 0;
        size_t hash = 0;  // of the comparison key
    };
    using Entries = std::vector<Entry>;

    // Reads on from where the reading stopped: up to `rows` more, or all the rest for a negative
    // count. True once the index is complete.
    Result<bool> readOn(Connection& connection, const Account& account, qint64 rows);
    // The first owner after `after` (the first of all without it) whose names count; nullopt
    // after the last.
    static Result<std::optional<QString>> nextOwner(Connection& connection, const Account& account,
                                                    const std::optional<QString>& after);
    // Up to `rows` more of the reading's owner's names (all for a negative count); how many.
    Result<qint64> readOwner(Connection& connection, const Account& account, qint64 rows);
    static Result<bool> holds(Connection& connection, const Account& account, qint64 counter,
                              const QString& key);
    // Whether the index is kept for the names that count for `account`.
    bool covers(const Account& account) const {
        return account.isProtected() ? scope_.is(account) : !scopeProtected_;
    }
    // Makes the index the one of `account`'s names, empty, unless it already is.
    void cover(const Account& account);
    Entries::iterator find(qint64 counter);

    // A reading in progress as of `stamp`: the owners up to `previous` are read, and `owner`'s
    // names up to Counter `after`.
    struct Reading {
        Connection::ChangeStamp stamp;
        std::optional<QString> previous;
        std::optional<QString> owner;
        qint64 after = 0;
        Entries entries;
    };
    std::optional<Reading> reading_;
    bool scopeProtected_ = false;
    CachedAccount scope_;
    Entries entries_;
    CacheStamp stamp_;
};

}  // namespace ks
