#pragma once

#include <QHash>
#include <QMultiHash>
#include <QString>

#include "storage/Database.h"
#include "vault/ShortNameCache.h"

namespace ks {

// Which records hold which short name (compared trimmed and in upper case), over the whole
// table, kept for the session so that the uniqueness check of a save is a lookup rather than a
// walk of the table. The index is read again from the table whenever the connection's change
// stamp says that anything else may have written since it was last brought up to date: another
// connection or running copy, or any other write of this connection.
class ShortNameIndex {
public:
    explicit ShortNameIndex(ShortNameCache& names) : names_(names) {}

    // Whether a record other than `exceptCounter` has the short name. Asked under the writer's
    // lock of the save that follows.
    Result<bool> inUse(Connection& connection, const QString& shortName, qint64 exceptCounter);

    // The record `counter` now holds `shortName`: called right after this connection committed
    // that save and nothing else, so the index stays current without a walk.
    void saved(Connection& connection, qint64 counter, const QString& shortName);

private:
    DbStatus rebuild(Connection& connection);
    void remove(qint64 counter);

    ShortNameCache& names_;
    QMultiHash<QString, qint64> counters_;  // comparison key -> records holding it
    QHash<qint64, QString> keys_;           // record -> its comparison key
    Connection::ChangeStamp stamp_;
    bool trusted_ = false;  // the index was up to date as of stamp_
    bool current_ = false;  // ... and was so at the last check
};

}  // namespace ks
