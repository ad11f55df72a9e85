#include "sync/MergeScopes.h"

#include <QCryptographicHash>
#include <algorithm>

#include "sync/MergeTables.h"
#include "vault/ShortNameIndex.h"

namespace ks::merging {

void NameScope::hold(const QString& name, const QByteArray& uuid) {
    release(uuid);
    const QString key = ShortNameIndex::comparisonKey(name);
    holders_[key].append(uuid);
    keyOf_.insert(uuid, key);
}

void NameScope::release(const QByteArray& uuid) {
    const auto found = keyOf_.constFind(uuid);
    if (found == keyOf_.cend()) {
        return;
    }
    QList<QByteArray>& holders = holders_[found.value()];
    holders.removeAll(uuid);
    if (holders.isEmpty()) {
        holders_.remove(found.value());
    }
    keyOf_.erase(found);
}

bool NameScope::takenByOther(const QString& name, const QByteArray& uuid) const {
    const QList<QByteArray> holders = holders_.value(ShortNameIndex::comparisonKey(name));
    return std::any_of(holders.cbegin(), holders.cend(),
                       [&uuid](const QByteArray& holder) { return holder != uuid; });
}

QString NameScope::freeName(const QString& name) const {
    const QString base = name.trimmed();
    for (int number = 2;; ++number) {
        const QString candidate = QStringLiteral("%1 (%2)").arg(base).arg(number);
        if (!holders_.contains(ShortNameIndex::comparisonKey(candidate))) {
            return candidate;
        }
    }
}

Result<bool> VersionLedger::takeNew(HistoryOf history, const QString& owner, const QByteArray& uuid,
                                    qint64 modified, const QVariantList& values) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray(1, history == HistoryOf::Records ? 'r' : 'j'));
    hash.addData(uuid);
    hash.addData(QByteArray::number(modified));
    for (const QVariant& value : values) {
        const QByteArray bytes = valueBytes(value);
        hash.addData(QByteArray::number(bytes.size()) + ':');
        hash.addData(bytes);
    }
    const QByteArray version = hash.result();
    if (planned_.contains(version)) {
        return false;
    }
    const ContentTable& table =
        contentTable(history == HistoryOf::Records ? MergeKind::Records : MergeKind::Entries);
    QString sql = QStringLiteral(
                      "SELECT count(*) FROM %1History WHERE Uuid = ?1 AND Modified = "
                      "?2 AND %2 = ?3")
                      .arg(table.name, table.owner);
    for (qsizetype i = 0; i < table.columns.size(); ++i) {
        sql += QStringLiteral(" AND %1 = ?%2").arg(table.columns.at(i)).arg(i + 4);
    }
    Statement query = target_.prepareKept(sql);
    query.bindBlob(1, uuid).bind(2, modified).bind(3, owner);
    for (qsizetype i = 0; i < values.size(); ++i) {
        bindValue(query, int(i + 4), values.at(i));
    }
    if (!query.next()) {
        return query.status();
    }
    planned_.insert(version);
    return query.integer(0) == 0;
}

}  // namespace ks::merging
