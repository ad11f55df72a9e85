#include "journal/JournalSearch.h"

#include <algorithm>

#include "core/TextFolding.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"

namespace ks {

namespace {

// Characters shown before and after a match.
constexpr qsizetype kBefore = 30;
constexpr qsizetype kAfter = 60;
const QString kEllipsis = QStringLiteral("…");

}  // namespace

QString journalSnippet(const QString& entry, qsizetype at, qsizetype length,
                       qsizetype* matchStart) {
    qsizetype from = std::max<qsizetype>(0, at - kBefore);
    qsizetype to = std::min(entry.size(), at + length + kAfter);
    if (from > 0 && entry.at(from).isLowSurrogate()) {
        --from;
    }
    if (to < entry.size() && entry.at(to - 1).isHighSurrogate()) {
        ++to;
    }
    QString snippet = entry.mid(from, to - from).simplified();
    // White space is folded the same way before the match; the stand-in keeps a space that
    // separates the match from the words before it.
    qsizetype start = (entry.mid(from, at - from) + QLatin1Char('x')).simplified().size() - 1;
    if (from > 0) {
        snippet.prepend(kEllipsis);
        ++start;
    }
    if (to < entry.size()) {
        snippet.append(kEllipsis);
    }
    if (matchStart != nullptr) {
        *matchStart = std::min(start, snippet.size());
    }
    return snippet;
}

QString snippetNearMatch(const JournalHit& hit, qsizetype lead) {
    if (hit.matchStart <= lead + 1) {
        return hit.snippet;
    }
    qsizetype cut = hit.matchStart - lead;
    const qsizetype space = hit.snippet.indexOf(QLatin1Char(' '), cut);
    if (space >= 0 && space < hit.matchStart) {
        cut = space + 1;
    }
    if (hit.snippet.at(cut).isLowSurrogate()) {
        ++cut;
    }
    return kEllipsis + hit.snippet.mid(cut);
}

Result<QList<JournalHit>> searchJournal(DatabaseAccess& database, const Account& account,
                                        const QString& text) {
    QList<JournalHit> hits;
    const QString needle = foldedForSearch(text);
    if (needle.isEmpty()) {
        return hits;
    }
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    // A day is judged by the row its load shows, the first of its date text. Those rows are
    // picked from the owner's index and read in the table's order: no sort copies the entries,
    // and the file is read front to back.
    Statement query = connection->prepare(QStringLiteral(
        "SELECT Date, Journal, Uuid FROM Journals WHERE Id IN "
        "(SELECT min(Id) FROM Journals WHERE UserName = ?1 GROUP BY Date) ORDER BY Id"));
    query.bind(1, account.owner);
    while (query.next()) {
        const std::optional<QDate> day = readJournalDate(query.text(0));
        if (!day) {
            continue;
        }
        const std::optional<QString> shown =
            account.isProtected() ? shownJournalText(account, query.blob(2), query.text(1))
                                  : shownJournalText(query.text(1));
        if (!shown) {
            continue;
        }
        const QString& entry = *shown;
        if (const std::optional<TextSpan> match = findFolded(entry, needle)) {
            JournalHit hit{*day, QString(), 0};
            hit.snippet = journalSnippet(entry, match->start, match->length, &hit.matchStart);
            hits.append(hit);
        }
    }
    if (!query.status().ok()) {
        return query.status();
    }
    std::sort(hits.begin(), hits.end(),
              [](const JournalHit& a, const JournalHit& b) { return a.day > b.day; });
    return hits;
}

}  // namespace ks
