#pragma once

#include <functional>

#include "core/Account.h"
#include "protection/TextSeal.h"
#include "storage/Database.h"
#include "storage/Schema.h"

namespace ks {

// Turning an account's stored values from the shared format into the sealed form of a new data
// key. Each part of the vault converts its own rows of the account (values read as `from`
// reads them, written as `to` writes them, each row keeping its identity and getting a new
// time of last write) on the caller's connection, inside the caller's transaction: the caller
// commits when every part has converted, and rolls back otherwise, so the account is left all
// in one form or all in the other.
struct AccountConversion {
    Account from;  // the account as it is stored now
    Account to;    // the same owner value with its data key
    // Told after each row is written; false when the user has stopped the conversion, and the
    // part then returns DbCode::Cancelled at once.
    std::function<bool()> rowDone;
    // Finishing a protection taken over from another machine: only the rows still in the
    // shared format are converted (a row whose name is stored sealed stays as it is), and each
    // keeps its time of last write, so that it wins over nothing written elsewhere since.
    bool onlyShared = false;
    // Told the identity of each row converted (that of its record or entry for a kept version).
    std::function<void(const QByteArray&)> rowSealed = {};

    // Whether the row whose name is stored as `storedName` is left as it is.
    bool leaves(QStringView storedName) const { return onlyShared && looksSealed(storedName); }
    // Binds a converted row's time of last write: now, or NULL for `coalesce(?, Modified)`
    // to keep its own when finishing.
    void bindWriteTime(Statement& statement, int index) const {
        if (onlyShared) {
            statement.bindNull(index);
        } else {
            statement.bind(index, rowWriteTime());
        }
    }
    void told(const QByteArray& uuid) const {
        if (rowSealed) {
            rowSealed(uuid);
        }
    }
};

// The parts, one for each kind of row, each declared beside its store:
//   DbStatus sealRecords(Connection&, const AccountConversion&);     vault: records, categories
//   DbStatus sealJournal(Connection&, const AccountConversion&);     journal entries
//   DbStatus sealImages(Connection&, const AccountConversion&);      pictures (names and data)
//   DbStatus sealFiles(Connection&, const AccountConversion&);       stored files (names, archives)

}  // namespace ks
