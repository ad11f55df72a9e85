#include "vault/ShortNameIndex.h"

#include "crypto/FieldCipher.h"

namespace ks {

namespace {

size_t hashOf(const QString& key) {
    return qHash(key);
}

}  // namespace

DbStatus ShortNameIndex::rebuild(Connection& connection) {
    counters_.clear();
    hashes_.clear();
    Statement query = connection.prepare(QStringLiteral("SELECT Counter, ShortName FROM Logins"));
    while (query.next()) {
        const qint64 counter = query.integer(0);
        const size_t hash = hashOf(comparisonKey(DecryptStored(query.text(1))));
        counters_.insert(hash, counter);
        hashes_.insert(counter, hash);
    }
    return query.status();
}

Result<bool> ShortNameIndex::holds(Connection& connection, qint64 counter, const QString& key) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT ShortName FROM Logins WHERE Counter = ?1"));
    query.bind(1, counter);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return false;
    }
    return comparisonKey(DecryptStored(query.text(0))) == key;
}

Result<bool> ShortNameIndex::inUse(Connection& connection, const QString& shortName,
                                   qint64 exceptCounter) {
    if (!stamp_.isCurrent(connection)) {
        stamp_.drop();
        const Connection::ChangeStamp before = connection.changeStamp();
        if (DbStatus status = rebuild(connection); !status.ok()) {
            return status;
        }
        stamp_.mark(before);
    }
    const QString wanted = comparisonKey(shortName);
    const QList<qint64> candidates = counters_.values(hashOf(wanted));
    for (const qint64 counter : candidates) {
        if (counter == exceptCounter) {
            continue;
        }
        const Result<bool> same = holds(connection, counter, wanted);
        if (!same.ok() || same.value()) {
            return same;
        }
    }
    return false;
}

void ShortNameIndex::forget(qint64 counter) {
    const auto found = hashes_.constFind(counter);
    if (found != hashes_.cend()) {
        counters_.remove(found.value(), counter);
        hashes_.erase(found);
    }
}

void ShortNameIndex::saved(const Connection::ChangeStamp& written, qint64 counter,
                           const QString& shortName) {
    forget(counter);
    const size_t hash = hashOf(comparisonKey(shortName));
    counters_.insert(hash, counter);
    hashes_.insert(counter, hash);
    stamp_.mark(written);
}

void ShortNameIndex::removed(const Connection::ChangeStamp& written, bool wasCurrent,
                             qint64 counter) {
    if (!wasCurrent) {
        stamp_.drop();
        return;
    }
    forget(counter);
    stamp_.mark(written);
}

}  // namespace ks
