#pragma once

#include <QList>
#include <QString>

#include "storage/CacheStamp.h"
#include "storage/Database.h"
#include "vault/VaultAccount.h"

namespace ks {

// One line of the record list: the record's identity, its short name and its category.
struct RecordLine {
    qint64 counter = 0;
    QString shortName;
    QString category;
};

// Every record line of one account, in Counter order, kept for the session: the lists are filled
// again at every return to the main window, and at a table's scale reading and decrypting each
// short name (and, for a protected account, each category) each time would be what the user
// waits for. The lines are read again whenever
// anything this listing did not follow may have written (see CacheStamp).
class RecordListing {
public:
    Result<QList<RecordLine>> lines(Connection& connection, const Account& account);

    // Whether the kept lines are the account's and current; asked under a writer's lock before a
    // write that the listing is then told of.
    bool isCurrent(Connection& connection, const Account& account) {
        return account_.is(account) && stamp_.isCurrent(connection);
    }
    // The owner's record `line.counter` was just saved as `line` (or removed) and committed,
    // and nothing else; `wasCurrent` is what isCurrent() said before the write and `written`
    // the stamp taken before its commit.
    void saved(const Connection::ChangeStamp& written, bool wasCurrent, const RecordLine& line);
    void removed(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter);
    // Changes whenever the kept lines do.
    quint64 generation() const { return generation_; }

private:
    DbStatus read(Connection& connection, const Account& account);
    // Where `counter` stands in the lines, or where it would go.
    qsizetype position(qint64 counter) const;

    CachedAccount account_;
    QList<RecordLine> lines_;
    CacheStamp stamp_;
    quint64 generation_ = 0;
};

}  // namespace ks
