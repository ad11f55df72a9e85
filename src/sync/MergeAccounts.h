#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

#include "core/Account.h"
#include "storage/Database.h"

namespace ks::merging {

// An account's row in Users: its login (owner value), its password or key row, identity and
// time of last write.
struct AccountRow {
    QString owner;
    QString password;
    QByteArray uuid;
    qint64 modified = 0;
    QByteArray keySalt;  // the four key columns, NULL for an account in the shared format
    qint64 keyOps = 0;
    qint64 keyMem = 0;
    QByteArray keyWrapped;
    bool isProtected = false;

    bool sameAs(const AccountRow& other) const;
    bool winsOver(const AccountRow& other) const;
};

// What a merge does with one account of the other database.
struct AccountPlan {
    QString owner;
    enum class Step { Keep, Add, Replace } step = Step::Keep;
    // Why nothing of the account is merged; empty when it is.
    QString refusal;
    // The account as its values are read here: its data key when the caller holds it, or no
    // key (an account in the shared format, or a protected one whose key is not at hand).
    Account account;
    bool isProtected = false;
    bool passwordChanged = false;  // the row replacing the one here holds another password or key
    // The account is protected in the other database and not yet here: its protection is taken
    // (its rows here are sealed when its key is at hand, see finishProtection).
    bool protectionTaken = false;
    // A protected account (here or after the merge) takes only rows whose values are sealed:
    // one in the shared format comes from a machine that has not taken the protection yet,
    // which seals it and writes it again.
    bool takesSealedOnly() const { return isProtected; }
};

// Every account of the other database, and the owners of its content rows that it has no
// account row for (refused: a file must carry the account of every row it holds), in order.
// Accounts in the shared format merge; protected ones only when both databases hold the same
// key row identity and, where the key rows differ, the other's sealed values are shown to be
// under the same data key (a value both hold unchanged, or one that opens with the key the
// caller holds); anything else would leave values that no longer open. An account of one
// identity protected in one database only is protected after the merge (unless the caller has
// it open here without a key: refused, and taken once the session ends).
Result<QList<AccountPlan>> planAccounts(Connection& target, Connection& source,
                                        const QList<Account>& keys);

// Adds or replaces the account's row as the plan says.
DbStatus writeAccount(Connection& target, Connection& source, const AccountPlan& plan);

// The login name an owner value stands for, as shown to the user.
QString shownAccountName(const QString& owner);

}  // namespace ks::merging
