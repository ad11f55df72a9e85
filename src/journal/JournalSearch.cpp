#include "journal/JournalSearch.h"

#include <QSet>
#include <algorithm>

#include "journal/JournalDate.h"
#include "journal/JournalStore.h"

namespace ks {

namespace {

// Characters shown before and after a match.
constexpr qsizetype kBefore = 30;
constexpr qsizetype kAfter = 60;
const QString kEllipsis = QStringLiteral("…");

}  // namespace

QString journalSnippet(const QString& entry, qsizetype at, qsizetype length) {
    const qsizetype from = std::max<qsizetype>(0, at - kBefore);
    const qsizetype to = std::min(entry.size(), at + length + kAfter);
    QString snippet = entry.mid(from, to - from).simplified();
    if (from > 0) {
        snippet.prepend(kEllipsis);
    }
    if (to < entry.size()) {
        snippet.append(kEllipsis);
    }
    return snippet;
}

Result<QList<JournalHit>> searchJournal(DatabaseAccess& database, const QString& owner,
                                        const QString& text) {
    QList<JournalHit> hits;
    if (text.isEmpty()) {
        return hits;
    }
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT Date, Journal FROM Journals WHERE UserName = ?1 ORDER BY Id"));
    query.bind(1, owner);
    QSet<QString> seen;
    while (query.next()) {
        const QString dateText = query.text(0);
        if (seen.contains(dateText)) {
            continue;
        }
        seen.insert(dateText);
        const std::optional<QDate> day = readJournalDate(dateText);
        if (!day) {
            continue;
        }
        const QString entry = shownJournalText(query.text(1));
        const qsizetype at = entry.indexOf(text, 0, Qt::CaseInsensitive);
        if (at >= 0) {
            hits.append({*day, journalSnippet(entry, at, text.size())});
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
