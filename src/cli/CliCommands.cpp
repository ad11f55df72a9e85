#include "cli/CliCommands.h"

#include <algorithm>

#include "cli/ConsoleIo.h"
#include "core/DatabaseTexts.h"
#include "journal/JournalDate.h"
#include "journal/JournalDays.h"
#include "journal/JournalStore.h"
#include "vault/RecordStore.h"
#include "vault/VaultNames.h"

namespace ks::cli {

namespace {

int failed(const DbStatus& status) {
    tell(describeDatabaseStatus(status) +
         (status.detail.isEmpty() ? QString() : u' ' + status.detail));
    return kError;
}

int listRecords(DatabaseAccess& database, const QString& owner, const QString& category) {
    RecordStore store(database);
    const Result<QList<RecordLine>> lines =
        store.ListRecords(owner, category.isEmpty() ? allRecordsEntry() : category);
    if (!lines.ok()) {
        return failed(lines.status());
    }
    for (const RecordLine& line : lines.value()) {
        out() << line.shortName << '\n';
    }
    out().flush();
    return kDone;
}

int showRecord(DatabaseAccess& database, const QString& owner, const QString& shortName) {
    RecordStore store(database);
    const Result<QList<RecordLine>> lines = store.ListRecords(owner, allRecordsEntry());
    if (!lines.ok()) {
        return failed(lines.status());
    }
    // Short names are unique whatever their letter case.
    const QString wanted = shortName.trimmed();
    const auto line = std::find_if(
        lines.value().cbegin(), lines.value().cend(), [&wanted](const RecordLine& candidate) {
            return candidate.shortName.compare(wanted, Qt::CaseInsensitive) == 0;
        });
    if (line == lines.value().cend()) {
        tell(QStringLiteral("You have no record named %1.").arg(wanted));
        return kRefused;
    }
    const Result<std::optional<StoredRecord>> record = store.ShowRecord(owner, line->counter);
    if (!record.ok()) {
        return failed(record.status());
    }
    if (!record.value()) {
        tell(QStringLiteral("You have no record named %1.").arg(wanted));
        return kRefused;
    }
    const RecordFields& fields = record.value()->fields;
    out() << "Short Name: " << fields.shortName << '\n'
          << "Category: " << fields.category << '\n'
          << "User Name: " << fields.userName << '\n'
          << "Password: " << fields.password << '\n'
          << "Description: " << fields.description << '\n'
          << "Notes:\n"
          << fields.notes << '\n';
    out().flush();
    return kDone;
}

int showJournal(DatabaseAccess& database, const QString& owner, QDate day) {
    const Result<std::optional<QString>> entry =
        LoadJournalEntry(database, owner, journalDateText(day));
    if (!entry.ok()) {
        return failed(entry.status());
    }
    if (!entry.value() || isBlankJournalText(*entry.value())) {
        tell(QStringLiteral("There is no journal entry for %1.").arg(journalDateText(day)));
        return kRefused;
    }
    out() << *entry.value() << '\n';
    out().flush();
    return kDone;
}

// The days from `from` to `to` that have a row of the owner, in calendar order.
Result<QList<QDate>> daysWithEntries(DatabaseAccess& database, const QString& owner, QDate from,
                                     QDate to) {
    const Result<JournalDates> dates = ListJournalDates(database, owner, QDate::currentDate());
    if (!dates.ok()) {
        return dates.status();
    }
    QList<QDate> days;
    for (const QString& text : dates.value().dates) {
        const std::optional<QDate> day = readJournalDate(text);
        if (day && *day >= from && *day <= to && !days.contains(*day)) {
            days.append(*day);
        }
    }
    std::sort(days.begin(), days.end());
    return days;
}

int exportJournal(DatabaseAccess& database, const QString& owner, QDate from, QDate to) {
    const Result<QList<QDate>> days = daysWithEntries(database, owner, from, to);
    if (!days.ok()) {
        return failed(days.status());
    }
    out() << "# Journal, " << journalDateText(from) << " to " << journalDateText(to) << '\n';
    for (const QDate day : days.value()) {
        const Result<std::optional<QString>> entry =
            LoadJournalEntry(database, owner, journalDateText(day));
        if (!entry.ok()) {
            return failed(entry.status());
        }
        if (entry.value() && !isBlankJournalText(*entry.value())) {
            out() << "\n## " << journalDateText(day) << "\n\n" << *entry.value() << '\n';
        }
    }
    out().flush();
    return kDone;
}

}  // namespace

int runCommand(const CliOptions& options, DatabaseAccess& database, const QString& owner) {
    switch (options.command) {
        case Command::List:
            return listRecords(database, owner, options.argument);
        case Command::Show:
            return showRecord(database, owner, options.argument);
        case Command::Journal:
            return showJournal(database, owner, options.day);
        case Command::JournalExport:
            return exportJournal(database, owner, options.from, options.to);
        case Command::Help:
        case Command::Version:
            break;
    }
    out() << usageText();
    out().flush();
    return kDone;
}

}  // namespace ks::cli
