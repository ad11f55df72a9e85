#include "vault/RecordListing.h"

#include <QHash>
#include <algorithm>

#include "crypto/FieldCipher.h"

namespace ks {

QList<RecordLine> ListedRecords::opened() const {
    if (sealed) {
        sealed->openAll();
    }
    QList<RecordLine> filled = lines;
    for (RecordLine& line : filled) {
        if (line.sealedAt >= 0 && sealed) {
            line.shortName = sealed->shortName(line.sealedAt);
            line.category = sealed->category(line.sealedAt);
            line.sealedAt = -1;
        }
    }
    return filled;
}

DbStatus RecordListing::read(Connection& connection, const Account& account) {
    ++generation_;
    stamp_.drop();
    lines_.clear();
    sealed_.reset();
    account_.set(account);
    const Connection::ChangeStamp before = connection.changeStamp();
    const bool sealed = account.isProtected();
    Statement query = connection.prepare(
        sealed ? QStringLiteral("SELECT Counter, ShortName, Category, Uuid FROM Logins WHERE "
                                "KeyUserName = ?1 ORDER BY Counter")
               : QStringLiteral("SELECT Counter, ShortName, Category FROM Logins WHERE "
                                "KeyUserName = ?1 ORDER BY Counter"));
    query.bind(1, account.owner);
    auto opening = sealed ? std::make_shared<SealedLines>(account) : nullptr;
    // Records share a handful of categories: each name is kept once.
    QHash<QString, QString> categories;
    while (query.next()) {
        if (opening) {
            lines_.append({query.integer(0),
                           {},
                           {},
                           opening->add(query.blob(3), query.text(1), query.text(2))});
            continue;
        }
        const QString category = query.text(2);
        auto known = categories.constFind(category);
        if (known == categories.cend()) {
            known = categories.insert(category, category);
        }
        lines_.append({query.integer(0), DecryptStored(query.text(1)), known.value()});
    }
    if (!query.status().ok()) {
        lines_.clear();
        return query.status();
    }
    sealed_ = std::move(opening);
    stamp_.mark(before);
    return {};
}

Result<ListedRecords> RecordListing::lines(Connection& connection, const Account& account) {
    if (!isCurrent(connection, account)) {
        if (DbStatus status = read(connection, account); !status.ok()) {
            return status;
        }
    }
    return ListedRecords{lines_, sealed_};
}

bool RecordListing::openAhead(const Account& account, int rows) {
    return !sealed_ || !account_.is(account) || sealed_->openAhead(rows);
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
