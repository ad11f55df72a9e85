#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <functional>

#include "core/Account.h"
#include "storage/Database.h"

class QIODevice;

namespace ks {

// Stored pictures and files of an account: kept as they are in the shared format, as a sealed
// stream bound to their row for a protected account. Every direction moves a chunk at a time,
// so a blob of any size passes through a fixed amount of memory.

// A blob column of an account's rows.
struct BlobColumn {
    QLatin1StringView table;
    QLatin1StringView name;
    QLatin1StringView key;  // the row key
};

namespace columns {
inline constexpr BlobColumn kImage{QLatin1StringView("Images"), QLatin1StringView("Image"),
                                   QLatin1StringView("Counter")};
inline constexpr BlobColumn kFile{QLatin1StringView("Files"), QLatin1StringView("File"),
                                  QLatin1StringView("Counter")};
}  // namespace columns

// One stored blob: its column, its row's key and its row's identity.
struct AccountBlob {
    BlobColumn column;
    qint64 rowid = 0;
    QByteArray rowUuid;
};

// The stored size of a blob of `plainSize` bytes of the account.
qint64 storedBlobSize(const Account& account, qint64 plainSize);

// Fills the blob, which must already hold storedBlobSize(account, plainSize) bytes (a row added
// with zeroblob), with `plainSize` bytes read from `source`: as they are in the shared format,
// sealed for a protected account. Meant to run inside the transaction that added the row.
DbStatus writeAccountBlob(Connection& connection, const Account& account, const AccountBlob& blob,
                          QIODevice& source, qint64 plainSize);

// How reading a blob went: `damaged` when a protected account's blob does not open (changed,
// cut short, moved from another row, or sealed with another key).
struct AccountBlobRead {
    DbStatus status;
    bool damaged = false;
    bool ok() const { return status.ok() && !damaged; }
};

// Hands the blob's plain bytes to `consume`, a chunk at a time. A damaged blob may be found
// only after some chunks were handed on: the caller then throws away what it was given. A false
// answer from `consume` stops the read with an IoError.
AccountBlobRead readAccountBlob(Connection& connection, const Account& account,
                                const AccountBlob& blob,
                                const std::function<bool(QByteArrayView)>& consume);

// Blobs up to this size are sealed in memory and written with their row in one step.
inline constexpr qint64 kSealInMemoryBytes = 12 * 1024 * 1024;

// Turns the blob of a row stored in the shared format into the sealed form of `to`, inside the
// caller's transaction. `rewriteRow` writes the row's new values in one UPDATE: the blob column
// gets `sealed` when it is given (a blob of up to kSealInMemoryBytes, sealed in memory), else
// zeroblob(sealedSize). A larger blob is sealed a chunk at a time into a carrier row of the same
// table and then copied over the row's own blob; the carrier is gone, and the table's next key
// as it was, when this returns.
using RowRewrite = std::function<DbStatus(qint64 sealedSize, const QByteArray* sealed)>;
DbStatus sealStoredBlob(Connection& connection, const Account& to, const AccountBlob& blob,
                        const RowRewrite& rewriteRow);

}  // namespace ks
