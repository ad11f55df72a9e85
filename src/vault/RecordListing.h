#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "storage/CacheStamp.h"
#include "storage/Database.h"
#include "vault/SealedLines.h"
#include "vault/VaultAccount.h"

namespace ks {

// One line of the record list: the record's identity, its short name and its category. A line
// read from a protected account's table may hold neither yet: it names its place in the
// listing's SealedLines instead, where they open when asked for.
struct RecordLine {
    qint64 counter = 0;
    QString shortName;
    QString category;
    qint32 sealedAt = -1;  // the line's place in its SealedLines while its values are there
};

// Lines as a list shows them: a line that is still sealed opens through `sealed`.
struct ListedRecords {
    QList<RecordLine> lines;
    std::shared_ptr<SealedLines> sealed;
    // A search that had not read all it looks in by the time it could wait: `lines` are those
    // found in what it had read (see RecordStore::ListRecordLines).
    bool searchUnfinished = false;

    QString shortName(const RecordLine& line) const {
        return line.sealedAt >= 0 && sealed ? sealed->shortName(line.sealedAt) : line.shortName;
    }
    QString category(const RecordLine& line) const {
        return line.sealedAt >= 0 && sealed ? sealed->category(line.sealedAt) : line.category;
    }
    // The lines with their values in them, every value opened now.
    QList<RecordLine> opened() const;
};

// Every record line of one account, in Counter order, kept for the session: the lists are filled
// again at every return to the main window, and at a table's scale reading and decrypting each
// short name (and, for a protected account, each category) each time would be what the user
// waits for. A protected account's values open as they are asked for (SealedLines). The lines
// are read again whenever
// anything this listing did not follow may have written (see CacheStamp).
class RecordListing {
public:
    Result<ListedRecords> lines(Connection& connection, const Account& account);
    // Opens both values of up to `rows` more of the kept lines of `account`, ahead of their
    // being shown or filtered; true once all of them are open (or none is kept).
    bool openAhead(const Account& account, int rows);

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
    std::shared_ptr<SealedLines> sealed_;  // a protected account's values, as they open
    CacheStamp stamp_;
    quint64 generation_ = 0;
};

}  // namespace ks
