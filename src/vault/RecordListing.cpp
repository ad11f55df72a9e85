#include "vault/RecordListing.h"

#include <QHash>
#include <algorithm>
#include <span>
#include <thread>
#include <vector>

#include "crypto/FieldCipher.h"

namespace ks {

namespace {

// A line of a protected account as stored: its short name and category still sealed.
struct SealedLine {
    qint64 counter = 0;
    QByteArray uuid;
    QString shortName;
    QString category;
};

// Opens the short names and categories of `lines` in place.
void openLines(const Account& account, std::span<SealedLine> lines) {
    for (SealedLine& line : lines) {
        line.shortName = shownOrDamaged(account, columns::kShortName, line.uuid, line.shortName);
        line.category = shownOrDamaged(account, columns::kCategory, line.uuid, line.category);
    }
}

// Opens every line, the second half on a second thread when there are enough to be worth it:
// each value opens on its own, and at a table's scale the opening is most of a listing's cost.
void openAllLines(const Account& account, std::vector<SealedLine>& lines) {
    constexpr size_t kLinesWorthAThread = 512;
    if (lines.size() < kLinesWorthAThread) {
        openLines(account, lines);
        return;
    }
    const std::span<SealedLine> all(lines);
    const size_t half = lines.size() / 2;
    std::thread second([&account, rest = all.subspan(half)] { openLines(account, rest); });
    openLines(account, all.first(half));
    second.join();
}

}  // namespace

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
    std::vector<SealedLine> read;
    while (query.next()) {
        const bool sealed = account.isProtected();
        read.push_back({query.integer(0), sealed ? query.blob(3) : QByteArray(),
                        sealed ? query.text(1) : DecryptStored(query.text(1)), query.text(2)});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    if (account.isProtected()) {
        openAllLines(account, read);
    }
    // Records share a handful of categories: each name is kept once.
    QHash<QString, QString> categories;
    lines_.reserve(static_cast<qsizetype>(read.size()));
    for (SealedLine& line : read) {
        auto known = categories.constFind(line.category);
        if (known == categories.cend()) {
            known = categories.insert(line.category, line.category);
        }
        lines_.append({line.counter, std::move(line.shortName), known.value()});
    }
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
