#include "sync/MergeAccounts.h"

#include <QRegularExpression>

#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "storage/Schema.h"
#include "storage/ShownName.h"
#include "sync/MergeTables.h"

namespace ks::merging {

namespace {

Result<QList<AccountRow>> readAccountRows(Connection& connection) {
    Statement query = connection.prepare(
        QStringLiteral("SELECT UserName, Password, Uuid, Modified, KeySalt, KeyOps, KeyMem, "
                       "KeyWrapped, KeyWrapped IS NOT NULL FROM Users ORDER BY Id"));
    QList<AccountRow> rows;
    while (query.next()) {
        rows.append({query.text(0), query.text(1), query.blob(2), query.integer(3), query.blob(4),
                     query.integer(5), query.integer(6), query.blob(7), query.integer(8) != 0});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    return rows;
}

// The owners of the other database's content rows (the shared categories are nobody's).
Result<QStringList> contentOwners(Connection& source) {
    QStringList owners;
    for (const ContentTable& table : contentTables()) {
        Statement query =
            source.prepare(QStringLiteral("SELECT DISTINCT %1 FROM %2 WHERE %1 <> ?1 ORDER BY %1")
                               .arg(table.owner, table.name));
        query.bind(1, QString::fromUtf16(kGlobalOwner));
        while (query.next()) {
            if (!owners.contains(query.text(0))) {
                owners.append(query.text(0));
            }
        }
        if (!query.status().ok()) {
            return query.status();
        }
    }
    return owners;
}

ValueColumn nameValueColumn(const ContentTable& table) {
    switch (table.kind) {
        case MergeKind::Records:
            return columns::kShortName;
        case MergeKind::Categories:
            return columns::kCategoryName;
        case MergeKind::Entries:
            return columns::kJournalText;
        case MergeKind::Pictures:
            return columns::kImageName;
        case MergeKind::Files:
            break;
    }
    return columns::kFileName;
}

// Whether the other database's sealed values of a protected account are under the key this
// one's are: one of them is held here unchanged (a sealed text is never made twice), or opens
// with the key the caller holds. With the key, the first value decides.
Result<bool> sameDataKey(Connection& target, Connection& source, const Account& account) {
    for (const ContentTable& table : contentTables()) {
        Statement values = source.prepare(
            QStringLiteral("SELECT Uuid, %1 FROM %2 WHERE %3 = ?1 AND Uuid IS NOT NULL")
                .arg(table.nameColumn, table.name, table.owner));
        values.bind(1, account.owner);
        Statement held = target.prepare(
            QStringLiteral("SELECT count(*) FROM %1 WHERE Uuid = ?1 AND %2 = ?2 AND %3 = ?3")
                .arg(table.name, table.nameColumn, table.owner));
        while (values.next()) {
            if (account.isProtected()) {
                return shownValue(account, nameValueColumn(table), values.blob(0), values.text(1))
                    .has_value();
            }
            held.reset();
            held.bindBlob(1, values.blob(0)).bind(2, values.text(1)).bind(3, account.owner);
            if (!held.next()) {
                return held.status();
            }
            if (held.integer(0) > 0) {
                return true;
            }
        }
        if (!values.status().ok()) {
            return values.status();
        }
    }
    return false;
}

const AccountRow* findRow(const QList<AccountRow>& rows, const QString& owner) {
    for (const AccountRow& row : rows) {
        if (row.owner == owner) {
            return &row;
        }
    }
    return nullptr;
}

// Whether the caller has the account open here in the shared format (logged in without a key).
bool openShared(const QList<Account>& keys, const QString& owner) {
    return std::any_of(keys.cbegin(), keys.cend(), [&owner](const Account& key) {
        return key.owner == owner && !key.isProtected();
    });
}

// Why the account cannot be merged; empty when it can.
Result<QString> refusalFor(Connection& target, Connection& source, const AccountRow& here,
                           const AccountRow& there, const Account& account,
                           const QList<Account>& keys) {
    if (here.isProtected != there.isProtected) {
        // One account protected on one machine and not yet on the other: the protection is
        // taken here (the rows still in the shared format are sealed at its next login), and
        // the other's rows in the shared format are left for that machine to seal.
        if (here.uuid != there.uuid) {
            return QStringLiteral("it is protected in one database and not in the other");
        }
        if (there.isProtected && openShared(keys, here.owner)) {
            // Logged in here without its pass phrase.
            return QStringLiteral("protected elsewhere, taken here when this session ends");
        }
        return QString();
    }
    if (!here.isProtected) {
        return QString();
    }
    if (here.uuid != there.uuid) {
        return QStringLiteral("it was protected separately in each database");
    }
    if (here.keySalt == there.keySalt && here.keyWrapped == there.keyWrapped) {
        return QString();
    }
    const Result<bool> same = sameDataKey(target, source, account);
    if (!same.ok()) {
        return same.status();
    }
    return same.value() ? QString()
                        : QStringLiteral(
                              "its key in the other database cannot be shown to be "
                              "the same as here");
}

}  // namespace

bool AccountRow::sameAs(const AccountRow& other) const {
    return owner == other.owner && password == other.password && uuid == other.uuid &&
           modified == other.modified && isProtected == other.isProtected &&
           keySalt == other.keySalt && keyOps == other.keyOps && keyMem == other.keyMem &&
           keyWrapped == other.keyWrapped;
}

bool AccountRow::winsOver(const AccountRow& other) const {
    if (modified != other.modified) {
        return modified > other.modified;
    }
    const std::pair<QByteArray, QByteArray> parts[] = {
        {password.toUtf8(), other.password.toUtf8()},
        {uuid, other.uuid},
        {keyWrapped, other.keyWrapped},
        {keySalt, other.keySalt},
        {QByteArray::number(keyOps), QByteArray::number(other.keyOps)},
        {QByteArray::number(keyMem), QByteArray::number(other.keyMem)}};
    for (const auto& [mine, theirs] : parts) {
        if (const int order = mine.compare(theirs); order != 0) {
            return order > 0;
        }
    }
    return false;
}

Result<QList<AccountPlan>> planAccounts(Connection& target, Connection& source,
                                        const QList<Account>& keys) {
    const Result<QList<AccountRow>> here = readAccountRows(target);
    const Result<QList<AccountRow>> there = readAccountRows(source);
    const Result<QStringList> owners = contentOwners(source);
    if (!here.ok() || !there.ok() || !owners.ok()) {
        return !here.ok() ? here.status() : !there.ok() ? there.status() : owners.status();
    }
    QList<AccountPlan> plans;
    for (const AccountRow& row : there.value()) {
        const AccountRow* mine = findRow(here.value(), row.owner);
        // Protection is never undone: a protected row wins over one in the shared format.
        const bool isProtected = row.isProtected || (mine != nullptr && mine->isProtected);
        AccountPlan plan{row.owner, AccountPlan::Step::Keep, {}, Account(row.owner), isProtected,
                         false};
        for (const Account& key : keys) {
            if (key.owner == row.owner && key.isProtected() == isProtected) {
                plan.account = key;
            }
        }
        if (mine == nullptr) {
            plan.step = AccountPlan::Step::Add;
        } else {
            const Result<QString> refusal =
                refusalFor(target, source, *mine, row, plan.account, keys);
            if (!refusal.ok()) {
                return refusal.status();
            }
            plan.refusal = refusal.value();
            const bool takesProtection = row.isProtected && !mine->isProtected;
            const bool wins = mine->isProtected == row.isProtected
                                  ? !row.sameAs(*mine) && row.winsOver(*mine)
                                  : takesProtection;
            if (plan.refusal.isEmpty() && wins) {
                plan.step = AccountPlan::Step::Replace;
                plan.protectionTaken = takesProtection;
                plan.passwordChanged = row.password != mine->password ||
                                       row.keyWrapped != mine->keyWrapped ||
                                       row.keySalt != mine->keySalt;
            }
        }
        plans.append(plan);
    }
    for (const QString& owner : owners.value()) {
        if (findRow(there.value(), owner) == nullptr) {
            plans.append({owner, AccountPlan::Step::Keep,
                          QStringLiteral("the file holds its rows but not the account itself"),
                          Account(owner), false, false});
        }
    }
    return plans;
}

DbStatus writeAccount(Connection& target, Connection& source, const AccountPlan& plan) {
    if (plan.step == AccountPlan::Step::Keep) {
        return {};
    }
    Statement read = source.prepare(
        QStringLiteral("SELECT Password, Uuid, Modified, KeySalt, KeyOps, KeyMem, KeyWrapped, "
                       "KeyWrapped IS NOT NULL FROM Users WHERE UserName = ?1"));
    read.bind(1, plan.owner);
    if (!read.next()) {
        return read.status().ok() ? DbStatus{DbCode::Failed, QStringLiteral("an account is gone")}
                                  : read.status();
    }
    Statement write = target.prepare(
        plan.step == AccountPlan::Step::Add
            ? QStringLiteral("INSERT INTO Users (Password, Uuid, Modified, KeySalt, KeyOps, "
                             "KeyMem, KeyWrapped, UserName) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, "
                             "?8)")
            : QStringLiteral("UPDATE Users SET Password = ?1, Uuid = ?2, Modified = ?3, KeySalt "
                             "= ?4, KeyOps = ?5, KeyMem = ?6, KeyWrapped = ?7 WHERE UserName = "
                             "?8"));
    write.bind(1, read.text(0)).bindBlob(2, read.blob(1)).bind(3, read.integer(2));
    if (read.integer(7) != 0) {
        write.bindBlob(4, read.blob(3))
            .bind(5, read.integer(4))
            .bind(6, read.integer(5))
            .bindBlob(7, read.blob(6));
    } else {
        write.bindNull(4).bindNull(5).bindNull(6).bindNull(7);
    }
    write.bind(8, plan.owner);
    return write.run();
}

QString shownAccountName(const QString& owner) {
    static const QRegularExpression hex(QStringLiteral("^(?:[0-9A-F]{2})+$"));
    const QString name = hex.match(owner).hasMatch() ? DecryptField(owner) : QString();
    return name.isEmpty() ? QStringLiteral("(unreadable)") : shownName(name);
}

}  // namespace ks::merging
