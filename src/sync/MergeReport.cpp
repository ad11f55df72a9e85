#include "sync/MergeReport.h"

#include <algorithm>

#include "storage/ShownName.h"

namespace ks {

namespace {

constexpr int kLongestShown = 80;

const char* const kKindNames[merging::kMergeKinds][2] = {
    {"record", "records"},   {"category", "categories"}, {"journal entry", "journal entries"},
    {"picture", "pictures"}, {"file", "files"},
};

QString countedKind(int count, const char* const names[2]) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(names[count == 1 ? 0 : 1]));
}

// "2 records added, 1 changed, 1 renamed"
QString kindLine(const MergeCounts& counts, const char* const names[2]) {
    QStringList parts;
    const std::pair<int, const char*> figures[] = {{counts.added, "added"},
                                                   {counts.changed, "changed"},
                                                   {counts.deleted, "deleted"},
                                                   {counts.renamed, "renamed"}};
    for (const auto& [count, what] : figures) {
        if (count > 0) {
            parts.append(parts.isEmpty()
                             ? countedKind(count, names) + u' ' + QLatin1String(what)
                             : QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what)));
        }
    }
    return parts.join(QStringLiteral(", "));
}

QStringList accountLines(const AccountMergeReport& account) {
    QStringList lines;
    if (!account.refusal.isEmpty()) {
        lines.append(QStringLiteral("%1: not merged: %2.").arg(account.name, account.refusal));
        return lines;
    }
    QStringList parts;
    if (account.added) {
        parts.append(QStringLiteral("new account"));
    } else if (account.protectionTaken) {
        parts.append(QStringLiteral("protected elsewhere: log in with its pass phrase"));
    } else if (account.passwordChanged) {
        parts.append(QStringLiteral("password changed"));
    }
    for (int kind = 0; kind < merging::kMergeKinds; ++kind) {
        if (account.kinds.at(kind).any()) {
            parts.append(kindLine(account.kinds.at(kind), kKindNames[kind]));
        }
    }
    if (account.versionsKept > 0) {
        parts.append(QStringLiteral("%1 earlier %2 kept in history")
                         .arg(account.versionsKept)
                         .arg(QLatin1String(account.versionsKept == 1 ? "version" : "versions")));
    }
    lines.append(QStringLiteral("%1: %2").arg(account.name, parts.join(QStringLiteral("; "))));
    for (const MergeRename& rename : account.renames) {
        lines.append(
            QStringLiteral("  %1 came in as %2")
                .arg(shownName(rename.from, kLongestShown), shownName(rename.to, kLongestShown)));
    }
    if (account.leftUnsealed > 0) {
        lines.append(QStringLiteral("  %1 of its rows there are not protected yet and were left "
                                    "out: they come again once protected where they were made")
                         .arg(account.leftUnsealed));
    }
    if (account.namesUnchecked > 0) {
        lines.append(QStringLiteral("  %1 of its records came in without a check for repeated "
                                    "short names: the account is protected and not logged in")
                         .arg(account.namesUnchecked));
    }
    return lines;
}

}  // namespace

bool AccountMergeReport::changesAnything() const {
    if (!refusal.isEmpty()) {
        return false;
    }
    return added || passwordChanged || protectionTaken || versionsKept > 0 ||
           std::any_of(kinds.cbegin(), kinds.cend(), [](const MergeCounts& c) { return c.any(); });
}

bool MergeReport::changesAnything() const {
    return std::any_of(accounts.cbegin(), accounts.cend(),
                       [](const AccountMergeReport& a) { return a.changesAnything(); });
}

bool MergeReport::refusedAny() const {
    return std::any_of(accounts.cbegin(), accounts.cend(),
                       [](const AccountMergeReport& a) { return !a.refusal.isEmpty(); });
}

QStringList mergeReportLines(const MergeReport& report) {
    QStringList lines;
    for (const AccountMergeReport& account : report.accounts) {
        if (account.changesAnything() || !account.refusal.isEmpty() || account.leftUnsealed > 0) {
            lines += accountLines(account);
        }
    }
    if (!report.writesAnything()) {
        lines.append(QStringLiteral("Nothing to merge."));
    } else if (!report.changesAnything()) {
        lines.append(
            QStringLiteral("Nothing that shows changes: only deletions made elsewhere "
                           "and account details are taken over."));
    }
    return lines;
}

QStringList refusalLines(const MergeReport& report) {
    QStringList lines;
    for (const AccountMergeReport& account : report.accounts) {
        if (!account.refusal.isEmpty()) {
            lines += accountLines(account);
        }
    }
    return lines;
}

QString mergeRefusedText(const QString& appTitle, const QString& file, const QString& reason) {
    return QStringLiteral(
               "The file %1 is not a %2 database that can be merged%3. Nothing has "
               "been changed.")
        .arg(file, appTitle, reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason));
}

}  // namespace ks
