#include "journal/JournalExport.h"

#include <algorithm>

#include "core/AccountValues.h"
#include "core/DatabaseTexts.h"
#include "journal/JournalDate.h"
#include "journal/JournalStore.h"
#include "storage/AtomicFile.h"

namespace ks {

Result<QList<JournalExportEntry>> readJournalRange(DatabaseAccess& database, const Account& account,
                                                   QDate from, QDate to) {
    Result<Connection> connection = database.open();
    if (!connection.ok()) {
        return connection.status();
    }
    Statement query = connection->prepare(
        QStringLiteral("SELECT Date, Journal, DateCreated, LastModified, Uuid FROM Journals "
                       "WHERE UserName = ?1 ORDER BY Id"));
    query.bind(1, account.owner);
    QList<JournalExportEntry> entries;
    while (query.next()) {
        const std::optional<QDate> day = readJournalDate(query.text(0));
        if (!day || *day < from || *day > to) {
            continue;
        }
        const std::optional<QString> text = shownJournalText(account, query.blob(4), query.text(1));
        const QString shown = text ? *text : damagedValueText();
        if (isBlankJournalText(shown)) {
            continue;
        }
        entries.append({*day, shown, query.text(2), query.text(3)});
    }
    if (!query.status().ok()) {
        return query.status();
    }
    // One entry a day; should an older file hold two, the first one made is kept.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.day < b.day; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const auto& a, const auto& b) { return a.day == b.day; }),
                  entries.end());
    return entries;
}

JournalExportOutcome exportJournal(DatabaseAccess& database, const Account& account, QDate from,
                                   QDate to, JournalFormat format, const QString& path) {
    JournalExportOutcome outcome;
    const Result<QList<JournalExportEntry>> entries = readJournalRange(database, account, from, to);
    if (!entries.ok()) {
        outcome.status = entries.status();
        return outcome;
    }
    AtomicFile file(path);
    outcome.written = file.open();
    if (outcome.written) {
        outcome.written = file.write(formattedJournal(format, entries.value(), from, to));
    }
    if (outcome.written) {
        outcome.written = file.commit();
    }
    outcome.entries = static_cast<int>(entries.value().size());
    return outcome;
}

QString journalExportDoneText(int entries, const QString& path) {
    return QStringLiteral("Exported %1 journal entries to %2.").arg(entries).arg(path);
}

QString journalExportFailedText(const JournalExportOutcome& outcome) {
    if (!outcome.status.ok()) {
        return QStringLiteral("The journal could not be read.") +
               describeDatabaseFailure(outcome.status);
    }
    return QStringLiteral("The file could not be written: %1").arg(outcome.written.error);
}

}  // namespace ks
