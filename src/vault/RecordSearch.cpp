#include "vault/RecordSearch.h"

#include <QByteArrayMatcher>
#include <QElapsedTimer>
#include <algorithm>

#include "core/TextFolding.h"
#include "crypto/FieldCipher.h"

namespace ks {

namespace {

// A short name is shown without the spaces around it, and searched so.
QByteArrayView withoutSpaces(QByteArrayView text) {
    while (text.startsWith(' ')) {
        text = text.sliced(1);
    }
    while (text.endsWith(' ')) {
        text.chop(1);
    }
    return text;
}

}  // namespace

QByteArray RecordSearch::searchText(QByteArrayView shortName, QByteArrayView userName,
                                    QByteArrayView description) {
    // Fields are parted by a character nobody types, so no text matches across two of them.
    constexpr char kApart = '\0';
    shortName = withoutSpaces(shortName);
    QByteArray text;
    text.reserve(shortName.size() + userName.size() + description.size() + 2);
    appendFoldedUtf8(text, shortName);
    text.append(kApart);
    appendFoldedUtf8(text, userName);
    text.append(kApart);
    appendFoldedUtf8(text, description);
    return text;
}

RecordSearch::Texts::iterator RecordSearch::position(Texts& texts, qint64 counter) {
    return std::lower_bound(texts.begin(), texts.end(), counter,
                            [](const Text& text, qint64 wanted) { return text.counter < wanted; });
}

void RecordSearch::replace(Texts& texts, qint64 counter, std::optional<QByteArray> text) {
    const auto at = position(texts, counter);
    const bool there = at != texts.end() && at->counter == counter;
    if (!text) {
        if (there) {
            texts.erase(at);
        }
    } else if (there) {
        at->folded = *std::move(text);
    } else {
        texts.insert(at, {counter, *std::move(text)});
    }
}

QByteArray RecordSearch::readText(const Account& account, const Statement& row) {
    if (!account.isProtected()) {
        return searchText(DecryptStoredUtf8(row.utf8(1)), DecryptStoredUtf8(row.utf8(2)),
                          DecryptStoredUtf8(row.utf8(3)));
    }
    const QByteArray uuid = row.blob(4);
    const auto shown = [&](const ValueColumn& column, int at) {
        return shownOrDamaged(account, column, uuid, row.text(at)).toUtf8();
    };
    return searchText(shown(columns::kShortName, 1), shown(columns::kRecordUserName, 2),
                      shown(columns::kDescription, 3));
}

Result<bool> RecordSearch::readOn(Connection& connection, const Account& account, qint64 rows) {
    const Connection::ChangeStamp now = connection.changeStamp();
    if (!reading_ || !reading_->account.is(account) || !(reading_->stamp == now)) {
        reading_ = Reading{{}, now, 0, {}};
        reading_->account.set(account);
    }
    Statement query = connection.prepare(
        QStringLiteral("SELECT Counter, ShortName, UserName, Description, Uuid FROM Logins "
                       "WHERE KeyUserName = ?1 AND Counter > ?2 ORDER BY Counter LIMIT ?3"));
    query.bind(1, account.owner).bind(2, reading_->after).bind(3, rows);
    qint64 count = 0;
    while (query.next()) {
        ++count;
        reading_->after = query.integer(0);
        reading_->texts.push_back({reading_->after, readText(account, query)});
    }
    if (!query.status().ok()) {
        reading_.reset();
        return query.status();
    }
    if (rows >= 0 && count == rows) {
        return false;  // more may follow
    }
    ++generation_;
    account_ = reading_->account;
    texts_ = std::move(reading_->texts);
    stamp_.mark(reading_->stamp);
    reading_.reset();
    return true;
}

DbStatus RecordSearch::prepare(Connection& connection, const Account& account) {
    return isCurrent(connection, account) ? DbStatus() : readOn(connection, account, -1).status();
}

Result<bool> RecordSearch::readAhead(Connection& connection, const Account& account, int rows) {
    if (isCurrent(connection, account)) {
        return true;
    }
    return readOn(connection, account, rows);
}

Result<bool> RecordSearch::readWithin(Connection& connection, const Account& account, int waitMs) {
    // Small steps, so that the wait ends close to when it should.
    constexpr int kRowsPerStep = 200;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const Result<bool> done = readAhead(connection, account, kRowsPerStep);
        if (!done.ok() || done.value() || waited.elapsed() >= waitMs) {
            return done;
        }
    }
}

QList<RecordLine> RecordSearch::matchingIn(const Texts& texts, const QList<RecordLine>& lines,
                                           const QString& folded) {
    const QByteArrayMatcher matcher(folded.toUtf8());
    QList<RecordLine> found;
    // Both in Counter order: each line's text is looked for after the last one's.
    auto from = texts.cbegin();
    for (const RecordLine& line : lines) {
        from =
            std::lower_bound(from, texts.cend(), line.counter,
                             [](const Text& text, qint64 wanted) { return text.counter < wanted; });
        if (from != texts.cend() && from->counter == line.counter &&
            matcher.indexIn(from->folded) >= 0) {
            found.append(line);
        }
    }
    return found;
}

RecordSearch::Followed RecordSearch::following(Connection& connection, const Account& account) {
    const bool reading =
        reading_ && reading_->account.is(account) && reading_->stamp == connection.changeStamp();
    return {isCurrent(connection, account), reading};
}

void RecordSearch::follow(const Connection::ChangeStamp& written, Followed followed, qint64 counter,
                          std::optional<QByteArray> text) {
    ++generation_;
    if (followed.texts) {
        replace(texts_, counter, text);
        stamp_.mark(written);
    } else {
        stamp_.drop();
    }
    if (followed.reading && reading_) {
        // A record past where the reading stands is read with its new texts when it comes.
        if (counter <= reading_->after) {
            replace(reading_->texts, counter, std::move(text));
        }
        reading_->stamp = written;
    }
}

void RecordSearch::saved(const Connection::ChangeStamp& written, Followed followed, qint64 counter,
                         const QString& shortName, const QString& userName,
                         const QString& description) {
    follow(written, followed, counter,
           searchText(shortName.toUtf8(), userName.toUtf8(), description.toUtf8()));
}

void RecordSearch::removed(const Connection::ChangeStamp& written, Followed followed,
                           qint64 counter) {
    follow(written, followed, counter, std::nullopt);
}

}  // namespace ks
