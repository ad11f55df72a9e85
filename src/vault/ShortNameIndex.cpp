#include "vault/ShortNameIndex.h"

#include <QVarLengthArray>
#include <QtGlobal>
#include <algorithm>

#include "crypto/FieldCipher.h"
#include "protection/TextSeal.h"

namespace ks {

namespace {

const QByteArrayView sealedPrefix(kSealedTextPrefix.data(), kSealedTextPrefix.size());

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

ShortNameIndex::Entries::iterator ShortNameIndex::find(qint64 counter) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [counter](const Entry& entry) { return entry.counter == counter; });
}

void ShortNameIndex::cover(const Account& account) {
    if (covers(account)) {
        return;
    }
    scopeProtected_ = account.isProtected();
    scope_.set(account);
    reading_.reset();
    entries_.clear();
    stamp_.drop();
}

Result<std::optional<QString>> ShortNameIndex::nextOwner(Connection& connection,
                                                         const Account& account,
                                                         const std::optional<QString>& after) {
    if (account.isProtected()) {
        return after ? std::optional<QString>() : std::optional<QString>(account.owner);
    }
    Statement query = connection.prepare(
        after ? QStringLiteral("SELECT KeyUserName FROM Logins WHERE KeyUserName > ?1 "
                               "ORDER BY KeyUserName LIMIT 1")
              : QStringLiteral("SELECT KeyUserName FROM Logins ORDER BY KeyUserName LIMIT 1"));
    if (after) {
        query.bind(1, *after);
    }
    if (query.next()) {
        return std::optional<QString>(query.text(0));
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return std::optional<QString>();
}

Result<qint64> ShortNameIndex::readOwner(Connection& connection, const Account& account,
                                         qint64 rows) {
    Reading& reading = *reading_;
    // The category is read along so that the owner's listing index, which holds the short names
    // and is a fraction of the table's size, answers alone.
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, ShortName, Category, Uuid FROM Logins WHERE KeyUserName = "
                       "?1 AND Counter > ?2 ORDER BY Counter LIMIT ?3"));
    query.bind(1, *reading.owner).bind(2, reading.after).bind(3, rows);
    qint64 count = 0;
    while (query.next()) {
        ++count;
        reading.after = query.integer(0);
        if (account.isProtected()) {
            // A name that does not open cannot be compared: it holds no place.
            const std::optional<QString> name =
                shownValue(account, columns::kShortName, query.blob(3), query.text(1));
            if (name) {
                reading.entries.push_back({reading.after, hashOf(comparisonKey(*name))});
            }
            continue;
        }
        // Every readable row the session reads is taken in here; sealed names are nobody's to
        // read in this format.
        const QUtf8StringView stored = query.utf8(1);
        if (!QByteArrayView(stored.data(), stored.size()).startsWith(sealedPrefix)) {
            reading.entries.push_back({reading.after, hashOfName(DecryptStoredUtf8(stored))});
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return count;
}

Result<bool> ShortNameIndex::readOn(Connection& connection, const Account& account, qint64 rows) {
    const Connection::ChangeStamp now = connection.changeStamp();
    if (!reading_ || !(reading_->stamp == now)) {
        reading_ = Reading{now, {}, {}, 0, {}};
    }
    Reading& reading = *reading_;
    // Owner by owner, each in Counter order; a negative count reads all that is left.
    for (qint64 left = rows; left != 0;) {
        if (!reading.owner) {
            const Result<std::optional<QString>> next =
                nextOwner(connection, account, reading.previous);
            if (!next.ok()) {
                reading_.reset();
                return next.status();
            }
            if (!next.value()) {
                entries_ = std::move(reading.entries);
                stamp_.mark(reading.stamp);
                reading_.reset();
                return true;
            }
            reading.owner = next.value();
            reading.after = 0;
        }
        const Result<qint64> read = readOwner(connection, account, left);
        if (!read.ok()) {
            reading_.reset();
            return read.status();
        }
        if (left < 0 || read.value() < left) {
            reading.previous = std::move(reading.owner);
            reading.owner.reset();
        }
        left = left < 0 ? left : left - read.value();
    }
    return false;  // more may follow
}

Result<bool> ShortNameIndex::readAhead(Connection& connection, const Account& account, int rows) {
    cover(account);
    if (stamp_.isCurrent(connection)) {
        return true;
    }
    return readOn(connection, account, rows);
}

Result<bool> ShortNameIndex::holds(Connection& connection, const Account& account, qint64 counter,
                                   const QString& key) {
    Statement query =
        connection.prepare(QStringLiteral("SELECT ShortName, Uuid FROM Logins WHERE Counter = ?1"));
    query.bind(1, counter);
    if (!query.next()) {
        if (!query.status().ok()) {
            return query.status();
        }
        return false;
    }
    const QString stored = query.text(0);
    if (account.isProtected()) {
        const std::optional<QString> name =
            shownValue(account, columns::kShortName, query.blob(1), stored);
        return name && comparisonKey(*name) == key;
    }
    return !looksSealed(stored) && comparisonKey(DecryptStored(stored)) == key;
}

Result<bool> ShortNameIndex::inUse(Connection& connection, const Account& account,
                                   const QString& shortName, qint64 exceptCounter) {
    cover(account);
    if (!stamp_.isCurrent(connection)) {
        if (const Result<bool> read = readOn(connection, account, -1); !read.ok()) {
            return read.status();
        }
    }
    const QString wanted = comparisonKey(shortName);
    const size_t hash = hashOf(wanted);
    // A look through 16 bytes a record: well under a millisecond at 50,000 records.
    for (const Entry& entry : entries_) {
        if (entry.hash != hash || entry.counter == exceptCounter) {
            continue;
        }
        const Result<bool> same = holds(connection, account, entry.counter, wanted);
        if (!same.ok() || same.value()) {
            return same;
        }
    }
    return false;
}

void ShortNameIndex::saved(const Connection::ChangeStamp& written, qint64 counter,
                           const QString& shortName) {
    const Entry entry{counter, hashOf(comparisonKey(shortName))};
    if (const auto at = find(counter); at != entries_.end()) {
        *at = entry;
    } else {
        entries_.push_back(entry);
    }
    stamp_.mark(written);
}

void ShortNameIndex::removed(const Connection::ChangeStamp& written, bool wasCurrent,
                             qint64 counter) {
    if (!wasCurrent) {
        stamp_.drop();
        return;
    }
    if (const auto at = find(counter); at != entries_.end()) {
        *at = entries_.back();
        entries_.pop_back();
    }
    stamp_.mark(written);
}

}  // namespace ks
