#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include "storage/CacheStamp.h"
#include "storage/Database.h"
#include "vault/RecordListing.h"

namespace ks {

// Finds records by what they say: a record matches when its short name, user name or
// description contains the text, letter case ignored. The three fields of each of the owner's
// records are decrypted once, at the first search of the session, and kept folded to one case;
// they are read again whenever anything this search did not follow may have written.
class RecordSearch {
public:
    // The lines of `lines` (the owner's, as listed) whose record matches `text`, in their order.
    // An empty text matches every line.
    Result<QList<RecordLine>> narrow(Connection& connection, const QString& owner,
                                     const QList<RecordLine>& lines, const QString& text);

    bool isCurrent(Connection& connection, const QString& owner) {
        return owner == owner_ && stamp_.isCurrent(connection);
    }
    // The owner's record `counter` was just saved with these plain fields (or removed) and
    // committed, and nothing else; `wasCurrent` is what isCurrent() said before the write and
    // `written` the stamp taken before its commit.
    void saved(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter,
               const QString& shortName, const QString& userName, const QString& description);
    void removed(const Connection::ChangeStamp& written, bool wasCurrent, qint64 counter);

    // What a record is searched in: its three fields in one case, kept apart.
    static QByteArray searchText(const QString& shortName, const QString& userName,
                                 const QString& description);

private:
    DbStatus read(Connection& connection, const QString& owner);
    void follow(const Connection::ChangeStamp& written, bool wasCurrent);

    QString owner_;
    QHash<qint64, QByteArray> texts_;
    CacheStamp stamp_;
};

}  // namespace ks
