#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <optional>

#include "storage/Database.h"
#include "storage/HistoryRows.h"

namespace ks::merging {

// The short names that records hold (as the vault compares them: trimmed, letter case
// ignored), kept up to date while a merge plans, so that a record coming in is checked against
// the names as they will be once the merge is written.
class NameScope {
public:
    void hold(const QString& name, const QByteArray& uuid);
    void release(const QByteArray& uuid);
    bool takenByOther(const QString& name, const QByteArray& uuid) const;
    // The first of "name (2)", "name (3)" ... that no record holds.
    QString freeName(const QString& name) const;

private:
    QHash<QString, QList<QByteArray>> holders_;
    QHash<QByteArray, QString> keyOf_;
};

// The versions of records and journal entries kept in this database's history, and those a
// merge plans to keep there, so that a version is kept once however often it comes in. A
// version is a row's identity, its time of last write and its stored values.
class VersionLedger {
public:
    explicit VersionLedger(Connection& target) : target_(target) {}

    // Whether the version is new to the history (not kept there, not planned yet); a new one
    // counts as planned from now on.
    Result<bool> takeNew(HistoryOf history, const QString& owner, const QByteArray& uuid,
                         qint64 modified, const QVariantList& values);

private:
    Connection& target_;
    QSet<QByteArray> planned_;
};

}  // namespace ks::merging
