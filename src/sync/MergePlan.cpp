#include "sync/MergePlan.h"

#include "sync/MergePlanner.h"

namespace ks::merging {

Result<MergePlan> planMerge(Connection& target, Connection& source, const QList<Account>& keys,
                            qint64 now) {
    MergePlan plan;
    Result<QList<AccountPlan>> accounts = planAccounts(target, source, keys);
    if (!accounts.ok()) {
        return accounts.status();
    }
    plan.accounts = std::move(accounts.value());
    PlanContext context{target, source, now, plan, VersionLedger(target), {}};
    if (DbStatus status = OwnerPlanner::readSharedNames(target, context.sharedNames);
        !status.ok()) {
        return status;
    }
    for (const AccountPlan& account : plan.accounts) {
        AccountMergeReport report;
        report.owner = account.owner;
        report.name = shownAccountName(account.owner);
        report.refusal = account.refusal;
        report.added = account.step == AccountPlan::Step::Add;
        report.passwordChanged = account.passwordChanged;
        report.protectionTaken = account.protectionTaken;
        if (account.refusal.isEmpty()) {
            OwnerPlanner planner(context, account, report);
            if (DbStatus status = planner.run(); !status.ok()) {
                return status;
            }
            plan.report.writes +=
                planner.tombstonesTaken() + (account.step != AccountPlan::Step::Keep ? 1 : 0);
        }
        plan.report.accounts.append(std::move(report));
    }
    plan.report.writes += int(plan.steps.size());
    return plan;
}

}  // namespace ks::merging
