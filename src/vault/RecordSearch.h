#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "storage/CacheStamp.h"
#include "storage/Database.h"
#include "vault/RecordListing.h"
#include "vault/VaultAccount.h"

namespace ks {

// Finds records by what they say: a record matches when its short name, user name or
// description contains the text, letter case and the kind and number of spaces between words
// ignored (foldedForSearch). The three fields of each of the account's records are decrypted once,
// ahead of the first search of the session or at it, and kept folded; they are read again
// whenever anything this search did not follow may have written.
class RecordSearch {
public:
    // Makes the account's texts current: read again unless nothing has written since.
    DbStatus prepare(Connection& connection, const Account& account);
    // Reads up to `rows` more of the account's texts ahead of a search, in Counter order; true
    // once they are all current. A write in between makes the reading start again.
    Result<bool> readAhead(Connection& connection, const Account& account, int rows);
    // Reads on for about `waitMs` at most; true once the texts are all current.
    Result<bool> readWithin(Connection& connection, const Account& account, int waitMs);
    // The lines of `lines` (the account's, as listed) whose record holds `folded`, a search text
    // already folded (foldedForSearch), in their order. After prepare().
    QList<RecordLine> matching(const QList<RecordLine>& lines, const QString& folded) const {
        return matchingIn(texts_, lines, folded);
    }
    // The same among the texts a reading in progress has read so far (the lines past them are
    // left out), after readWithin() said false.
    QList<RecordLine> matchingSoFar(const QList<RecordLine>& lines, const QString& folded) const {
        return reading_ ? matchingIn(reading_->texts, lines, folded) : QList<RecordLine>{};
    }
    // Changes whenever the kept texts do.
    quint64 generation() const { return generation_; }

    bool isCurrent(Connection& connection, const Account& account) {
        return account_.is(account) && stamp_.isCurrent(connection);
    }
    // What of the account's texts follows a write that begins now: the kept texts, and the
    // reading ahead in progress, each when it is current. Asked under the writer's lock.
    struct Followed {
        bool texts = false;
        bool reading = false;
    };
    Followed following(Connection& connection, const Account& account);
    // The account's record `counter` was just saved with these plain fields (or removed) and
    // committed, and nothing else; `followed` is what following() said before the write and
    // `written` the stamp taken before its commit. A reading ahead that was current goes on
    // from where it stood, so that the user's own saves never make it start again.
    void saved(const Connection::ChangeStamp& written, Followed followed, qint64 counter,
               const QString& shortName, const QString& userName, const QString& description);
    void removed(const Connection::ChangeStamp& written, Followed followed, qint64 counter);

    // What a record is searched in: its three fields (UTF-8) folded, kept apart.
    static QByteArray searchText(QByteArrayView shortName, QByteArrayView userName,
                                 QByteArrayView description);

private:
    // Reads on from where the reading stopped: up to `rows` more, or all for a negative count.
    Result<bool> readOn(Connection& connection, const Account& account, qint64 rows);
    // The searched text of the row a query stands on: Counter, the three fields, Uuid.
    static QByteArray readText(const Account& account, const Statement& row);
    void follow(const Connection::ChangeStamp& written, Followed followed, qint64 counter,
                std::optional<QByteArray> text);

    // The searched text of each record, in Counter order.
    struct Text {
        qint64 counter = 0;
        QByteArray folded;
    };
    using Texts = std::vector<Text>;
    static QList<RecordLine> matchingIn(const Texts& texts, const QList<RecordLine>& lines,
                                        const QString& folded);
    // Where `counter` stands in `texts`, or where it would go.
    static Texts::iterator position(Texts& texts, qint64 counter);
    // Puts the text of `counter` in place in `texts`, or takes it out (an empty text).
    static void replace(Texts& texts, qint64 counter, std::optional<QByteArray> text);

    // A reading in progress: the account's texts up to Counter `after`, as of `stamp`.
    struct Reading {
        CachedAccount account;
        Connection::ChangeStamp stamp;
        qint64 after = 0;
        Texts texts;
    };
    std::optional<Reading> reading_;
    CachedAccount account_;
    Texts texts_;
    CacheStamp stamp_;
    quint64 generation_ = 0;
};

}  // namespace ks
