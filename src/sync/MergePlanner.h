#pragma once

#include <QHash>
#include <QSet>
#include <optional>

#include "sync/MergePlan.h"
#include "sync/MergeScopes.h"

namespace ks::merging {

// What the planning of one merge shares between its accounts.
struct PlanContext {
    Connection& target;
    Connection& source;
    qint64 now;
    MergePlan& plan;
    VersionLedger ledger;
    // The names of every record of an account in the shared format here: the scope in which
    // such an account's short names are unique.
    NameScope sharedNames;
};

// Plans the merge of one account's rows (an account the other database holds and that may be
// merged): every step goes to the plan, every count to `report`.
class OwnerPlanner {
public:
    OwnerPlanner(PlanContext& context, const AccountPlan& account, AccountMergeReport& report)
        : c_(context), account_(account), report_(report) {}

    DbStatus run();
    int tombstonesTaken() const { return tombstonesTaken_; }

    // Reads the names of the records here that a scope holds: those of every account in the
    // shared format, or (with its key) those of one protected account.
    static DbStatus readSharedNames(Connection& target, NameScope& scope);
    static DbStatus readOwnNames(Connection& target, const Account& account, NameScope& scope);

private:
    struct DayHolder {
        StoredRow row;
        qsizetype step = -1;  // the Add step of a row that comes in; -1 for a row here
    };

    DbStatus applyTombstones(const ContentTable& table);
    Result<bool> isNewTombstone(const QByteArray& uuid, qint64 deleted);
    DbStatus mergeRows(const ContentTable& table);
    // Whether an incoming row (or kept version) is left out: one in the shared format of an
    // account protected here (counted in the report).
    bool leftUnsealed(const ContentTable& table, const StoredRow& incoming);
    // A row both hold is merged at once; the identity of a new one goes to `fresh`.
    DbStatus mergeRow(const ContentTable& table, const StoredRow& incoming,
                      QList<QByteArray>& fresh);
    DbStatus mergeMatched(const ContentTable& table, const StoredRow& incoming,
                          const StoredRow& here);
    DbStatus mergeNew(const ContentTable& table, const StoredRow& incoming);
    // The double of an incoming row here (a journal day's entry, a category of the same name)
    // and which of the two stays; the loser's steps are planned.
    enum class Double {
        None,      // there is none: the incoming row is added
        Stays,     // the one here stays: the incoming row is not added
        Replaced,  // the incoming row takes its place
    };
    Result<Double> resolveDay(const StoredRow& incoming);
    Result<Double> resolveCategory(const StoredRow& incoming);
    Result<std::optional<DayHolder>> dayHolder(const QString& date);
    DbStatus importVersions(const ContentTable& table);

    // Names: the scope the account's short names are unique in (null when they are not
    // checked), an incoming record's name and the check of a record about to be live.
    NameScope* names();
    std::optional<QString> readableName(const QByteArray& uuid, const QString& stored) const;
    DbStatus checkName(const StoredRow& incoming, MergeStep& step);

    // Steps.
    DbStatus keepIncoming(const ContentTable& table, const StoredRow& incoming);
    DbStatus dropIncoming(const ContentTable& table, const StoredRow& incoming);
    DbStatus deleteHere(const ContentTable& table, const StoredRow& here, qint64 time,
                        bool deletion);
    void add(MergeStep step) { c_.plan.steps.append(std::move(step)); }
    MergeStep stepFor(MergeStep::Op op, const ContentTable& table, const QByteArray& uuid) const;
    MergeCounts& counts(const ContentTable& table) {
        return report_.kinds[static_cast<int>(table.kind)];
    }

    // The source's tombstones of the account that are new here (rows never here, or a later time).
    int tombstonesTaken_ = 0;

    PlanContext& c_;
    const AccountPlan& account_;
    AccountMergeReport& report_;
    // Keeps the version in history unless it is there already (or planned); whether it is new.
    Result<bool> keepsNew(const ContentTable& table, const StoredRow& row);
    // Forgets a row here that the plan deletes, in the names, days and categories it held.
    void forget(const ContentTable& table, const StoredRow& here);

    std::optional<NameScope> ownNames_;
    QSet<QByteArray> gone_;  // rows here that the plan deletes
    QHash<QString, std::optional<DayHolder>> days_;
    QHash<QString, DayHolder> categories_;
};

}  // namespace ks::merging
