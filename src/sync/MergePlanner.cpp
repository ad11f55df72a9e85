#include "sync/MergePlanner.h"

#include "protection/TextSeal.h"

namespace ks::merging {

namespace {

qint64 tombstoneTime(const StoredRow& loser, qint64 now) {
    // Never before the row's own time, so that the row is gone wherever the tombstone goes.
    return qMax(now, loser.modified);
}

}  // namespace

DbStatus OwnerPlanner::run() {
    if (account_.account.isProtected()) {
        ownNames_.emplace();
        if (DbStatus status = readOwnNames(c_.target, account_.account, *ownNames_); !status.ok()) {
            return status;
        }
    }
    for (const ContentTable& table : contentTables()) {
        if (DbStatus status = applyTombstones(table); !status.ok()) {
            return status;
        }
        if (DbStatus status = mergeRows(table); !status.ok()) {
            return status;
        }
        if (table.history) {
            if (DbStatus status = importVersions(table); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

DbStatus OwnerPlanner::applyTombstones(const ContentTable& table) {
    Statement tombstones = c_.source.prepare(QStringLiteral(
        "SELECT Uuid, Deleted FROM Tombstones WHERE Owner = ?1 AND TableName = ?2 ORDER BY Id"));
    tombstones.bind(1, account_.owner).bind(2, QString(table.name));
    while (tombstones.next()) {
        const Result<std::optional<StoredRow>> here = readRow(c_.target, table, tombstones.blob(0));
        if (!here.ok()) {
            return here.status();
        }
        // A row written after the deletion stays.
        const std::optional<StoredRow>& row = here.value();
        if (row && row->owner == account_.owner && row->modified <= tombstones.integer(1)) {
            if (DbStatus status = deleteHere(table, *row, tombstones.integer(1), true);
                !status.ok()) {
                return status;
            }
            ++counts(table).deleted;
        } else if (!row) {
            const Result<bool> fresh = isNewTombstone(tombstones.blob(0), tombstones.integer(1));
            if (!fresh.ok()) {
                return fresh.status();
            }
            tombstonesTaken_ += fresh.value() ? 1 : 0;
        }
    }
    return tombstones.status();
}

Result<bool> OwnerPlanner::isNewTombstone(const QByteArray& uuid, qint64 deleted) {
    Statement query = c_.target.prepareKept(
        QStringLiteral("SELECT count(*) FROM Tombstones WHERE Uuid = ?1 AND Deleted >= ?2"));
    query.bindBlob(1, uuid).bind(2, deleted);
    if (!query.next()) {
        return query.status();
    }
    return query.integer(0) == 0;
}

DbStatus OwnerPlanner::mergeRows(const ContentTable& table) {
    // The rows both hold first, then the new ones: a new record's name is checked against the
    // names as the newer versions of the records here leave them.
    QList<QByteArray> fresh;
    if (DbStatus status = forEachRow(c_.source, table, account_.owner,
                                     [&](const StoredRow& incoming) {
                                         if (leftUnsealed(table, incoming)) {
                                             return DbStatus{};
                                         }
                                         return mergeRow(table, incoming, fresh);
                                     });
        !status.ok()) {
        return status;
    }
    for (const QByteArray& uuid : fresh) {
        const Result<std::optional<StoredRow>> incoming = readRow(c_.source, table, uuid);
        if (!incoming.ok()) {
            return incoming.status();
        }
        if (incoming.value()) {
            if (DbStatus status = mergeNew(table, *incoming.value()); !status.ok()) {
                return status;
            }
        }
    }
    return {};
}

bool OwnerPlanner::leftUnsealed(const ContentTable& table, const StoredRow& incoming) {
    if (!account_.takesSealedOnly() ||
        looksSealed(incoming.values.value(table.nameIndex()).toString())) {
        return false;
    }
    ++report_.leftUnsealed;
    return true;
}

DbStatus OwnerPlanner::mergeRow(const ContentTable& table, const StoredRow& incoming,
                                QList<QByteArray>& fresh) {
    const Result<std::optional<StoredRow>> here = readRow(c_.target, table, incoming.uuid);
    if (!here.ok()) {
        return here.status();
    }
    if (!here.value()) {
        fresh.append(incoming.uuid);
        return {};
    }
    // An identity held by another account here is never taken over; a row this merge deletes
    // here is not brought back by a copy of it.
    if (here.value()->owner != account_.owner || gone_.contains(incoming.uuid)) {
        return {};
    }
    return mergeMatched(table, incoming, *here.value());
}

DbStatus OwnerPlanner::mergeMatched(const ContentTable& table, const StoredRow& incoming,
                                    const StoredRow& here) {
    if (sameVersion(incoming, here)) {
        return {};
    }
    // The version here still in the shared format, and the same version sealed where the
    // account's protection was taken first: the sealed one takes its place, whatever the bytes
    // say, and is not kept twice. (Each machine seals such a version itself; without this, two
    // could keep their own sealing.)
    const bool sealedTwin = account_.takesSealedOnly() && incoming.modified == here.modified &&
                            !looksSealed(here.values.value(table.nameIndex()).toString());
    if (!sealedTwin && !winsOver(incoming, here)) {
        return keepIncoming(table, incoming);
    }
    MergeStep step = stepFor(MergeStep::Op::Replace, table, incoming.uuid);
    step.key = here.key;
    const Result<bool> fresh = sealedTwin ? Result<bool>(false) : keepsNew(table, here);
    if (!fresh.ok()) {
        return fresh.status();
    }
    step.keepVersion = fresh.value();
    if (table.kind == MergeKind::Records) {
        if (DbStatus status = checkName(incoming, step); !status.ok()) {
            return status;
        }
    }
    if (table.kind == MergeKind::Entries) {
        // The row here holds the incoming version from now on.
        StoredRow holder = incoming;
        holder.key = here.key;
        days_.insert(incoming.values.first().toString(), DayHolder{holder, -1});
    }
    add(std::move(step));
    ++counts(table).changed;
    return {};
}

DbStatus OwnerPlanner::mergeNew(const ContentTable& table, const StoredRow& incoming) {
    Statement tombstone =
        c_.target.prepareKept(QStringLiteral("SELECT Deleted FROM Tombstones WHERE Uuid = ?1"));
    tombstone.bindBlob(1, incoming.uuid);
    const bool deletedHere = tombstone.next();
    if (!tombstone.status().ok()) {
        return tombstone.status();
    }
    // Deleted here after its last write elsewhere: it stays deleted.
    if (deletedHere && incoming.modified <= tombstone.integer(0)) {
        return keepIncoming(table, incoming);
    }
    Result<Double> twin = Double::None;
    if (table.kind == MergeKind::Entries) {
        twin = resolveDay(incoming);
    } else if (table.kind == MergeKind::Categories && !account_.isProtected) {
        twin = resolveCategory(incoming);
    }
    if (!twin.ok() || twin.value() == Double::Stays) {
        return twin.status();
    }
    MergeStep step = stepFor(MergeStep::Op::Add, table, incoming.uuid);
    if (table.kind == MergeKind::Records) {
        if (DbStatus status = checkName(incoming, step); !status.ok()) {
            return status;
        }
    }
    if (table.kind == MergeKind::Entries) {
        days_.insert(incoming.values.first().toString(), DayHolder{incoming, c_.plan.steps.size()});
    } else if (table.kind == MergeKind::Categories) {
        categories_.insert(incoming.values.first().toString(),
                           DayHolder{incoming, c_.plan.steps.size()});
    }
    add(std::move(step));
    // A day's entry that takes the place of the one here changes it; a category that takes the
    // place of one of the same name changes nothing the user sees.
    if (twin.value() == Double::None) {
        ++counts(table).added;
    } else if (table.kind == MergeKind::Entries) {
        ++counts(table).changed;
    }
    return {};
}

Result<std::optional<OwnerPlanner::DayHolder>> OwnerPlanner::dayHolder(const QString& date) {
    if (const auto known = days_.constFind(date); known != days_.cend()) {
        return known.value();
    }
    Statement query = c_.target.prepareKept(
        QStringLiteral("SELECT Uuid FROM Journals WHERE UserName = ?1 AND Date = ?2 AND Uuid IS "
                       "NOT NULL ORDER BY Id LIMIT 1"));
    query.bind(1, account_.owner).bind(2, date);
    if (!query.next()) {
        return query.status().ok() ? Result<std::optional<DayHolder>>(std::nullopt)
                                   : Result<std::optional<DayHolder>>(query.status());
    }
    const Result<std::optional<StoredRow>> row =
        readRow(c_.target, contentTable(MergeKind::Entries), query.blob(0));
    if (!row.ok()) {
        return row.status();
    }
    std::optional<DayHolder> holder;
    if (row.value()) {
        holder = DayHolder{*row.value(), -1};
    }
    days_.insert(date, holder);
    return holder;
}

Result<OwnerPlanner::Double> OwnerPlanner::resolveDay(const StoredRow& incoming) {
    const ContentTable& table = contentTable(MergeKind::Entries);
    const QString date = incoming.values.first().toString();
    const Result<std::optional<DayHolder>> found = dayHolder(date);
    if (!found.ok()) {
        return found.status();
    }
    if (!found.value()) {
        return Double::None;
    }
    const DayHolder holder = *found.value();
    // One entry a day: the later one stays, the other goes to history.
    if (!winsOver(incoming, holder.row)) {
        const DbStatus status = dropIncoming(table, incoming);
        return status.ok() ? Result<Double>(Double::Stays) : Result<Double>(status);
    }
    DbStatus status;
    if (holder.step >= 0) {
        // An earlier row of the same file for that day gives way too.
        c_.plan.steps[holder.step].op = MergeStep::Op::LeaveTombstone;
        c_.plan.steps[holder.step].time = tombstoneTime(holder.row, c_.now);
        --counts(table).added;
        status = keepIncoming(table, holder.row);
    } else {
        status = deleteHere(table, holder.row, tombstoneTime(holder.row, c_.now), false);
    }
    days_.remove(date);
    if (!status.ok()) {
        return status;
    }
    return holder.step >= 0 ? Double::None : Double::Replaced;
}

}  // namespace ks::merging
