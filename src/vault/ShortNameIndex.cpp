#include "vault/ShortNameIndex.h"

#include <QVarLengthArray>
#include <algorithm>

#include "crypto/FieldCipher.h"

namespace ks {

namespace {

// Keys are hashed as UTF-8, the form the table's names are decrypted to.
size_t hashOf(const QString& key) {
    return qHash(QByteArrayView(key.toUtf8()));
}

// The hash of a name's comparison key, from the name as UTF-8. Nearly every name is plain
// ASCII, trimmed and brought to upper case here at a fraction of what Qt's general case mapping
// costs; any other name goes through comparisonKey() itself.
size_t hashOfName(QByteArrayView name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; })) {
        return hashOf(ShortNameIndex::comparisonKey(QString::fromUtf8(name)));
    }
    // The ASCII characters QString::trimmed() takes for white space.
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!name.isEmpty() && isSpace(name.front())) {
        name = name.sliced(1);
    }
    while (!name.isEmpty() && isSpace(name.back())) {
        name.chop(1);
    }
    QVarLengthArray<char, 256> upper(name.size());
    std::transform(name.begin(), name.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return qHash(QByteArrayView(upper.constData(), upper.size()));
}

}  // namespace

DbStatus ShortNameIndex::rebuild(Connection& connection) {
    counters_.clear();
    hashes_.clear();
    Statement query = connection.prepare(QStringLiteral("SELECT Counter, ShortName FROM Logins"));
    while (query.next()) {
        const qint64 counter = query.integer(0);
        const size_t hash = hashOfName(DecryptStoredUtf8(query.utf8(1)));
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
