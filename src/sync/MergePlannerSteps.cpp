// The steps an account's planner adds, and the names its records are checked against.
#include <QRegularExpression>

#include "core/AccountValues.h"
#include "crypto/FieldCipher.h"
#include "sync/MergePlanner.h"

namespace ks::merging {

namespace {

bool isSharedCipher(const QString& stored) {
    static const QRegularExpression hex(QStringLiteral("^(?:[0-9A-F]{2})+$"));
    return hex.match(stored).hasMatch();
}

qint64 afterBoth(qint64 now, const StoredRow& row) {
    return qMax(now, row.modified + 1);
}

}  // namespace

MergeStep OwnerPlanner::stepFor(MergeStep::Op op, const ContentTable& table,
                                const QByteArray& uuid) const {
    MergeStep step;
    step.op = op;
    step.kind = table.kind;
    step.owner = account_.owner;
    step.uuid = uuid;
    return step;
}

Result<bool> OwnerPlanner::keepsNew(const ContentTable& table, const StoredRow& row) {
    if (!table.history) {
        return false;
    }
    const Result<bool> fresh =
        c_.ledger.takeNew(*table.history, account_.owner, row.uuid, row.modified, row.values);
    if (fresh.ok() && fresh.value()) {
        ++report_.versionsKept;
    }
    return fresh;
}

DbStatus OwnerPlanner::keepIncoming(const ContentTable& table, const StoredRow& incoming) {
    const Result<bool> fresh = keepsNew(table, incoming);
    if (fresh.ok() && fresh.value()) {
        add(stepFor(MergeStep::Op::KeepIncoming, table, incoming.uuid));
    }
    return fresh.status();
}

DbStatus OwnerPlanner::dropIncoming(const ContentTable& table, const StoredRow& incoming) {
    if (DbStatus status = keepIncoming(table, incoming); !status.ok()) {
        return status;
    }
    MergeStep step = stepFor(MergeStep::Op::LeaveTombstone, table, incoming.uuid);
    step.time = qMax(c_.now, incoming.modified);
    add(std::move(step));
    return {};
}

DbStatus OwnerPlanner::deleteHere(const ContentTable& table, const StoredRow& here, qint64 time,
                                  bool deletion) {
    MergeStep step = stepFor(MergeStep::Op::Delete, table, here.uuid);
    step.key = here.key;
    step.time = time;
    step.deletedRecord = deletion && table.kind == MergeKind::Records;
    const Result<bool> fresh = keepsNew(table, here);
    if (!fresh.ok()) {
        return fresh.status();
    }
    step.keepVersion = fresh.value();
    add(std::move(step));
    forget(table, here);
    return {};
}

void OwnerPlanner::forget(const ContentTable& table, const StoredRow& here) {
    gone_.insert(here.uuid);
    if (table.kind == MergeKind::Records) {
        if (NameScope* scope = names()) {
            scope->release(here.uuid);
        }
    } else if (table.kind == MergeKind::Entries) {
        const QString date = here.values.first().toString();
        const auto held = days_.constFind(date);
        if (held == days_.cend() || (held.value() && held.value()->row.uuid == here.uuid)) {
            days_.insert(date, std::nullopt);
        }
    } else if (table.kind == MergeKind::Categories) {
        categories_.remove(here.values.first().toString());
    }
}

Result<OwnerPlanner::Double> OwnerPlanner::resolveCategory(const StoredRow& incoming) {
    const ContentTable& table = contentTable(MergeKind::Categories);
    const QString name = incoming.values.first().toString();
    std::optional<DayHolder> holder;
    if (const auto known = categories_.constFind(name); known != categories_.cend()) {
        holder = known.value();
    } else {
        Statement query = c_.target.prepareKept(
            QStringLiteral("SELECT Uuid FROM LoginsCategory WHERE UserName = ?1 AND CategoryName "
                           "= ?2 AND Uuid IS NOT NULL ORDER BY Id"));
        query.bind(1, account_.owner).bind(2, name);
        while (!holder && query.next()) {
            if (gone_.contains(query.blob(0))) {
                continue;
            }
            const Result<std::optional<StoredRow>> row = readRow(c_.target, table, query.blob(0));
            if (!row.ok()) {
                return row.status();
            }
            if (row.value()) {
                holder = DayHolder{*row.value(), -1};
            }
        }
        if (!query.status().ok()) {
            return query.status();
        }
    }
    if (!holder) {
        return Double::None;
    }
    // Two categories of one name become one: the same one everywhere, the lesser identity.
    if (holder->row.uuid < incoming.uuid) {
        const DbStatus status = dropIncoming(table, incoming);
        return status.ok() ? Result<Double>(Double::Stays) : Result<Double>(status);
    }
    if (holder->step >= 0) {
        c_.plan.steps[holder->step].op = MergeStep::Op::LeaveTombstone;
        c_.plan.steps[holder->step].time = qMax(c_.now, holder->row.modified);
        --counts(table).added;
        categories_.remove(name);
        return Double::None;
    }
    const DbStatus status =
        deleteHere(table, holder->row, qMax(c_.now, holder->row.modified), false);
    return status.ok() ? Result<Double>(Double::Replaced) : Result<Double>(status);
}

DbStatus OwnerPlanner::importVersions(const ContentTable& table) {
    QStringList columns;
    for (const QLatin1StringView column : table.columns) {
        columns.append(column);
    }
    Statement versions = c_.source.prepare(
        QStringLiteral("SELECT Id, Uuid, Modified, %1 FROM %2History WHERE %3 = ?1 ORDER BY Id")
            .arg(columns.join(QStringLiteral(", ")), table.name, table.owner));
    versions.bind(1, account_.owner);
    while (versions.next()) {
        StoredRow row;
        row.uuid = versions.blob(1);
        row.modified = versions.integer(2);
        for (qsizetype i = 0; i < table.columns.size(); ++i) {
            row.values.append(versions.text(int(i + 3)));
        }
        if (leftUnsealed(table, row)) {
            continue;
        }
        const Result<bool> fresh = keepsNew(table, row);
        if (!fresh.ok()) {
            return fresh.status();
        }
        if (fresh.value()) {
            MergeStep step = stepFor(MergeStep::Op::ImportVersion, table, row.uuid);
            step.key = versions.integer(0);
            add(std::move(step));
        }
    }
    return versions.status();
}

}  // namespace ks::merging

namespace ks::merging {

DbStatus OwnerPlanner::readSharedNames(Connection& target, NameScope& scope) {
    Statement query = target.prepare(QStringLiteral(
        "SELECT Uuid, ShortName, KeyUserName FROM Logins WHERE Uuid IS NOT NULL AND KeyUserName "
        "NOT IN (SELECT UserName FROM Users WHERE KeyWrapped IS NOT NULL)"));
    while (query.next()) {
        const QString stored = query.text(1);
        if (isSharedCipher(stored)) {
            scope.hold(DecryptStored(stored), query.blob(0));
        }
    }
    return query.status();
}

DbStatus OwnerPlanner::readOwnNames(Connection& target, const Account& account, NameScope& scope) {
    Statement query = target.prepare(QStringLiteral(
        "SELECT Uuid, ShortName FROM Logins WHERE KeyUserName = ?1 AND Uuid IS NOT NULL"));
    query.bind(1, account.owner);
    while (query.next()) {
        const QByteArray uuid = query.blob(0);
        if (const std::optional<QString> name =
                shownValue(account, columns::kShortName, uuid, query.text(1))) {
            scope.hold(*name, uuid);
        }
    }
    return query.status();
}

NameScope* OwnerPlanner::names() {
    if (!account_.isProtected) {
        return &c_.sharedNames;
    }
    return ownNames_ ? &*ownNames_ : nullptr;
}

std::optional<QString> OwnerPlanner::readableName(const QByteArray& uuid,
                                                  const QString& stored) const {
    if (account_.isProtected) {
        if (!account_.account.isProtected()) {
            return std::nullopt;
        }
        return shownValue(account_.account, columns::kShortName, uuid, stored);
    }
    if (!isSharedCipher(stored)) {
        return std::nullopt;
    }
    const QString name = DecryptStored(stored);
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

DbStatus OwnerPlanner::checkName(const StoredRow& incoming, MergeStep& step) {
    const ContentTable& table = contentTable(MergeKind::Records);
    NameScope* scope = names();
    if (scope == nullptr) {
        // A protected account new here has no names here that could be repeated.
        if (account_.step != AccountPlan::Step::Add) {
            ++report_.namesUnchecked;
        }
        return {};
    }
    const std::optional<QString> name =
        readableName(incoming.uuid, incoming.values.at(table.nameIndex()).toString());
    if (!name) {
        return {};  // a value that does not open comes in as it is
    }
    if (!scope->takenByOther(*name, incoming.uuid)) {
        scope->hold(*name, incoming.uuid);
        return {};
    }
    const QString renamed = scope->freeName(*name);
    const std::optional<QString> stored =
        storedValue(account_.account, columns::kShortName, incoming.uuid, renamed);
    if (!stored) {
        return {DbCode::Failed, QStringLiteral("a renamed short name could not be stored")};
    }
    step.storedName = *stored;
    step.renamedAt = afterBoth(c_.now, incoming);
    scope->hold(renamed, incoming.uuid);
    report_.renames.append({*name, renamed});
    ++counts(table).renamed;
    // The version as it came in stays in history, as one that was renamed.
    if (DbStatus status = keepIncoming(table, incoming); !status.ok()) {
        return status;
    }
    return {};
}

}  // namespace ks::merging
