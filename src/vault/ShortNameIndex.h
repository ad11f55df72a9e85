#pragma once

#include <QHash>
#include <QMultiHash>
#include <QString>

#include "storage/CacheStamp.h"
#include "storage/Database.h"

namespace ks {

// Which records hold which short name (compared trimmed and in upper case), over the whole
// table, kept for the session so that the uniqueness check of a save is a lookup rather than a
// walk of the table. Only a hash of each name is kept; a record whose hash matches is read back
// to compare the names themselves. The index is read again from the table whenever its stamp
// says that anything else may have written since it was last brought up to date.
class ShortNameIndex {
public:
    // How names are compared for uniqueness: spaces around and letter case do not count.
    static QString comparisonKey(const QString& name) { return name.trimmed().toUpper(); }

    // Whether a record other than `exceptCounter` has the short name. Asked under the writer's
    // lock of the save that follows.
    Result<bool> inUse(Connection& connection, const QString& shortName, qint64 exceptCounter);

    // The record `counter` now holds `shortName`: called once this connection committed a save
    // whose name inUse() checked, with the stamp `written` taken before that commit, so the
    // index stays current without a walk.
    void saved(const Connection::ChangeStamp& written, qint64 counter, const QString& shortName);
    // The record `counter` is gone: called once its removal is committed, with what isCurrent()
    // said under the same writer's lock before it.
    void removed(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter);
    bool isCurrent(Connection& connection) { return stamp_.isCurrent(connection); }

private:
    DbStatus rebuild(Connection& connection);
    Result<bool> holds(Connection& connection, qint64 counter, const QString& key);
    void forget(qint64 counter);

    QMultiHash<size_t, qint64> counters_;  // hash of the comparison key -> records holding it
    QHash<qint64, size_t> hashes_;         // record -> the hash of its comparison key
    CacheStamp stamp_;
};

}  // namespace ks
