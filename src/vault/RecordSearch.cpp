#include "vault/RecordSearch.h"

#include <QByteArrayMatcher>

#include "crypto/FieldCipher.h"

namespace ks {

QByteArray RecordSearch::searchText(const QString& shortName, const QString& userName,
                                    const QString& description) {
    // Fields are parted by a character nobody types, so no text matches across two of them.
    constexpr QChar kApart(u'\0');
    return (shortName + kApart + userName + kApart + description).toCaseFolded().toUtf8();
}

Result<bool> RecordSearch::readOn(Connection& connection, const QString& owner, qint64 rows) {
    const Connection::ChangeStamp now = connection.changeStamp();
    if (!reading_ || reading_->owner != owner || !(reading_->stamp == now)) {
        reading_ = Reading{owner, now, 0, {}};
    }
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, ShortName, UserName, Description FROM Logins "
                       "WHERE KeyUserName = ?1 AND Counter > ?2 ORDER BY Counter LIMIT ?3"));
    query.bind(1, owner).bind(2, reading_->after).bind(3, rows);
    qint64 count = 0;
    while (query.next()) {
        ++count;
        reading_->after = query.integer(0);
        reading_->texts.insert(
            reading_->after,
            searchText(DecryptStored(query.text(1)), DecryptStoredKeepingSpaces(query.text(2)),
                       DecryptStoredKeepingSpaces(query.text(3))));
    }
    if (!query.status().ok()) {
        reading_.reset();
        return query.status();
    }
    if (rows >= 0 && count == rows) {
        return false;  // more may follow
    }
    ++generation_;
    owner_ = owner;
    texts_ = std::move(reading_->texts);
    stamp_.mark(reading_->stamp);
    reading_.reset();
    return true;
}

DbStatus RecordSearch::prepare(Connection& connection, const QString& owner) {
    return isCurrent(connection, owner) ? DbStatus() : readOn(connection, owner, -1).status();
}

Result<bool> RecordSearch::readAhead(Connection& connection, const QString& owner, int rows) {
    if (isCurrent(connection, owner)) {
        return true;
    }
    return readOn(connection, owner, rows);
}

QList<RecordLine> RecordSearch::matching(const QList<RecordLine>& lines,
                                         const QString& folded) const {
    const QByteArrayMatcher matcher(folded.toUtf8());
    QList<RecordLine> found;
    for (const RecordLine& line : lines) {
        const auto searched = texts_.constFind(line.counter);
        if (searched != texts_.cend() && matcher.indexIn(searched.value()) >= 0) {
            found.append(line);
        }
    }
    return found;
}

void RecordSearch::follow(const Connection::ChangeStamp& written, bool wasCurrent) {
    ++generation_;
    if (wasCurrent) {
        stamp_.mark(written);
    } else {
        stamp_.drop();
    }
}

void RecordSearch::saved(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter,
                         const QString& shortName, const QString& userName,
                         const QString& description) {
    if (wasCurrent) {
        texts_.insert(counter, searchText(shortName, userName, description));
    }
    follow(written, wasCurrent);
}

void RecordSearch::removed(const Connection::ChangeStamp& written, bool wasCurrent,
                           qint64 counter) {
    if (wasCurrent) {
        texts_.remove(counter);
    }
    follow(written, wasCurrent);
}

}  // namespace ks
