#include "vault/ShortNameIndex.h"

namespace ks {

DbStatus ShortNameIndex::rebuild(Connection& connection) {
    counters_.clear();
    keys_.clear();
    Statement query = connection.prepare(QStringLiteral("SELECT Counter, ShortName FROM Logins"));
    while (query.next()) {
        const qint64 counter = query.integer(0);
        const QString& key = names_.name(query.text(1)).key;
        counters_.insert(key, counter);
        keys_.insert(counter, key);
    }
    return query.status();
}

Result<bool> ShortNameIndex::inUse(Connection& connection, const QString& shortName,
                                   qint64 exceptCounter) {
    const Connection::ChangeStamp now = connection.changeStamp();
    current_ = trusted_ && now.connection != 0 && now == stamp_;
    if (!current_) {
        trusted_ = false;
        if (DbStatus status = rebuild(connection); !status.ok()) {
            return status;
        }
        // Checks run under the writer's lock, so nothing has written since the stamp.
        stamp_ = now;
        trusted_ = now.connection != 0;
        current_ = true;
    }
    const QString wanted = ShortNameCache::comparisonKey(shortName);
    for (auto it = counters_.constFind(wanted); it != counters_.cend() && it.key() == wanted;
         ++it) {
        if (it.value() != exceptCounter) {
            return true;
        }
    }
    return false;
}

void ShortNameIndex::remove(qint64 counter) {
    const auto found = keys_.constFind(counter);
    if (found != keys_.cend()) {
        counters_.remove(found.value(), counter);
        keys_.erase(found);
    }
}

void ShortNameIndex::saved(Connection& connection, qint64 counter, const QString& shortName) {
    // Only an index that was current when the save checked its name can follow the save.
    if (!current_) {
        trusted_ = false;
        return;
    }
    remove(counter);
    const QString key = ShortNameCache::comparisonKey(shortName);
    counters_.insert(key, counter);
    keys_.insert(counter, key);
    stamp_ = connection.changeStamp();
    trusted_ = stamp_.connection != 0;
    current_ = false;
}

}  // namespace ks
