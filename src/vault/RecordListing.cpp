#include "vault/RecordListing.h"

#include <QHash>
#include <algorithm>

#include "crypto/FieldCipher.h"

namespace ks {

DbStatus RecordListing::read(Connection& connection, const Account& account) {
    ++generation_;
    stamp_.drop();
    lines_.clear();
    account_.set(account);
    const Connection::ChangeStamp before = connection.changeStamp();
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, ShortName, Category, Uuid FROM Logins WHERE KeyUserName = "
                       "?1 ORDER BY Counter"));
    query.bind(1, account.owner);
    // Records share a handful of categories: each name is kept once.
    QHash<QString, QString> categories;
    const bool sealed = account.isProtected();
    while (query.next()) {
        const QByteArray uuid = sealed ? query.blob(3) : QByteArray();
        const QString category =
            sealed ? shownOrDamaged(account, columns::kCategory, uuid, query.text(2))
                   : query.text(2);
        auto known = categories.constFind(category);
        if (known == categories.cend()) {
            known = categories.insert(category, category);
        }
        const QString shortName =
            sealed ? shownOrDamaged(account, columns::kShortName, uuid, query.text(1))
                   : DecryptStored(query.text(1));
        lines_.append({query.integer(0), shortName, known.value()});
    }
    if (!query.status().ok()) {
        lines_.clear();
        return query.status();
    }
    lines_.squeeze();
    stamp_.mark(before);
    return {};
}

Result<QList<RecordLine>> RecordListing::lines(Connection& connection, const Account& account) {
    if (!isCurrent(connection, account)) {
        if (DbStatus status = read(connection, account); !status.ok()) {
            return status;
        }
    }
    return lines_;
}

qsizetype RecordListing::position(qint64 counter) const {
    const auto at = std::lower_bound(
        lines_.cbegin(), lines_.cend(), counter,
        [](const RecordLine& line, qint64 wanted) { return line.counter < wanted; });
    return at - lines_.cbegin();
}

void RecordListing::saved(const Connection::ChangeStamp& written, bool wasCurrent,
                          const RecordLine& line) {
    ++generation_;
    if (!wasCurrent) {
        stamp_.drop();
        return;
    }
    const qsizetype at = position(line.counter);
    if (at < lines_.size() && lines_.at(at).counter == line.counter) {
        lines_[at] = line;
    } else {
        lines_.insert(at, line);
    }
    stamp_.mark(written);
}

void RecordListing::removed(const Connection::ChangeStamp& written, bool wasCurrent,
                            qint64 counter) {
    ++generation_;
    if (!wasCurrent) {
        stamp_.drop();
        return;
    }
    const qsizetype at = position(counter);
    if (at < lines_.size() && lines_.at(at).counter == counter) {
        lines_.removeAt(at);
    }
    stamp_.mark(written);
}

}  // namespace ks
