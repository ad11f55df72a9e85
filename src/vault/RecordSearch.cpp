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

DbStatus RecordSearch::read(Connection& connection, const QString& owner) {
    stamp_.drop();
    texts_.clear();
    owner_ = owner;
    const Connection::ChangeStamp before = connection.changeStamp();
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, ShortName, UserName, Description FROM Logins "
                       "WHERE KeyUserName = ?1"));
    query.bind(1, owner);
    while (query.next()) {
        texts_.insert(query.integer(0), searchText(DecryptStored(query.text(1)),
                                                   DecryptStoredKeepingSpaces(query.text(2)),
                                                   DecryptStoredKeepingSpaces(query.text(3))));
    }
    if (!query.status().ok()) {
        texts_.clear();
        return query.status();
    }
    stamp_.mark(before);
    return {};
}

Result<QList<RecordLine>> RecordSearch::narrow(Connection& connection, const QString& owner,
                                               const QList<RecordLine>& lines,
                                               const QString& text) {
    if (text.isEmpty()) {
        return lines;
    }
    if (!isCurrent(connection, owner)) {
        if (DbStatus status = read(connection, owner); !status.ok()) {
            return status;
        }
    }
    const QByteArrayMatcher matcher(text.toCaseFolded().toUtf8());
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
