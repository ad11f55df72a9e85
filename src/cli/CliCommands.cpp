#include "cli/CliCommands.h"

#include <algorithm>

#include "cli/CliTransfer.h"
#include "cli/ConsoleIo.h"
#include "cli/OutputText.h"
#include "core/Account.h"
#include "core/DatabaseTexts.h"
#include "core/TextFolding.h"
#include "journal/JournalDate.h"
#include "journal/JournalDays.h"
#include "journal/JournalExport.h"
#include "journal/JournalStore.h"
#include "storage/Backups.h"
#include "vault/CategoryStore.h"
#include "vault/RecordStore.h"
#include "vault/VaultNames.h"

namespace ks::cli {

namespace {

int failed(const DbStatus& status) {
    tell(describeDatabaseStatus(status) +
         (status.detail.isEmpty() ? QString() : u' ' + status.detail));
    return kError;
}

int listRecords(DatabaseAccess& database, const Account& account, const QString& category) {
    RecordStore store(database);
    const bool all = category.isEmpty() || isAllRecords(category);
    const Result<QList<RecordLine>> lines =
        store.ListRecords(account, all ? allRecordsEntry() : category);
    if (!lines.ok()) {
        return failed(lines.status());
    }
    if (!all && lines.value().isEmpty()) {
        // A category of the user that holds nothing lists nothing; a name that is none is
        // refused, so that a typing error is not taken for an empty category.
        const Result<QStringList> categories = visibleCategories(database, account);
        if (!categories.ok()) {
            return failed(categories.status());
        }
        if (category != unfiledCategory() && !categories.value().contains(category)) {
            tell(QStringLiteral("You have no category named %1.").arg(category));
            return kRefused;
        }
    }
    for (const RecordLine& line : lines.value()) {
        out() << printable(line.shortName) << '\n';
    }
    out().flush();
    return kDone;
}

QString attributeValue(const RecordFields& fields, RecordAttribute attribute) {
    switch (attribute) {
        case RecordAttribute::Title:
            return printable(fields.shortName);
        case RecordAttribute::UserName:
            return printable(fields.userName);
        case RecordAttribute::Password:
            return printable(fields.password);
        case RecordAttribute::Description:
            return printable(fields.description);
        case RecordAttribute::Notes:
            return printable(fields.notes, LineBreaks::Kept);
        case RecordAttribute::Category:
            break;
    }
    return printable(fields.category);
}

void printRecord(const RecordFields& fields, const CliOptions& options) {
    // Values asked for by name are printed alone, one a line, the password too.
    for (const RecordAttribute attribute : options.attributes) {
        out() << attributeValue(fields, attribute) << '\n';
    }
    if (options.attributes.isEmpty()) {
        out() << "Short Name: " << printable(fields.shortName) << '\n'
              << "Category: " << printable(fields.category) << '\n'
              << "User Name: " << printable(fields.userName) << '\n'
              << "Password: "
              << (options.showProtected ? printable(fields.password) : QStringLiteral("PROTECTED"))
              << '\n'
              << "Description: " << printable(fields.description) << '\n'
              << "Notes:\n"
              << printable(fields.notes, LineBreaks::Kept) << '\n';
    }
    out().flush();
}

int showRecord(DatabaseAccess& database, const Account& account, const CliOptions& options) {
    RecordStore store(database);
    const Result<QList<RecordLine>> lines = store.ListRecords(account, allRecordsEntry());
    if (!lines.ok()) {
        return failed(lines.status());
    }
    // The name as written, else the one it matches as the searches match text: letter case and
    // the spaces between words aside ("strasse" finds "Straße").
    const QString wanted = options.argument.trimmed();
    auto line = std::find_if(
        lines.value().cbegin(), lines.value().cend(),
        [&wanted](const RecordLine& candidate) { return candidate.shortName.trimmed() == wanted; });
    if (line == lines.value().cend()) {
        const QString folded = foldedForSearch(wanted);
        line = std::find_if(lines.value().cbegin(), lines.value().cend(),
                            [&folded](const RecordLine& candidate) {
                                return foldedForSearch(candidate.shortName.trimmed()) == folded;
                            });
    }
    if (line == lines.value().cend()) {
        tell(QStringLiteral("You have no record named %1.").arg(wanted));
        return kRefused;
    }
    const Result<std::optional<StoredRecord>> record = store.ShowRecord(account, line->counter);
    if (!record.ok()) {
        return failed(record.status());
    }
    if (!record.value()) {
        tell(QStringLiteral("You have no record named %1.").arg(wanted));
        return kRefused;
    }
    printRecord(record.value()->fields, options);
    return kDone;
}

int showJournal(DatabaseAccess& database, const Account& account, QDate day) {
    const Result<std::optional<QString>> entry =
        LoadJournalEntry(database, account, journalDateText(day));
    if (!entry.ok()) {
        return failed(entry.status());
    }
    if (!entry.value() || isBlankJournalText(*entry.value())) {
        tell(QStringLiteral("There is no journal entry for %1.").arg(journalDateText(day)));
        return kRefused;
    }
    out() << printable(*entry.value(), LineBreaks::Kept) << '\n';
    out().flush();
    return kDone;
}

int exportJournal(DatabaseAccess& database, const Account& account, const CliOptions& options) {
    const Result<QList<JournalExportEntry>> entries =
        readJournalRange(database, account, options.from, options.to);
    if (!entries.ok()) {
        return failed(entries.status());
    }
    const QString text = QString::fromUtf8(
        formattedJournal(options.journalFormat, entries.value(), options.from, options.to));
    // JSON escapes every control character itself; Markdown goes through the terminal's rule.
    out() << (options.journalFormat == JournalFormat::Json ? text
                                                           : printable(text, LineBreaks::Kept));
    out().flush();
    return kDone;
}

}  // namespace

int runCommand(const CliOptions& options, DatabaseAccess& database, const Account& account,
               const QString& dataFolder) {
    switch (options.command) {
        case Command::ImportCsv:
            return importCsv(database, account, options.argument, backupsFolderIn(dataFolder));
        case Command::ExportCsv:
            return exportCsv(database, account, options.argument);
        case Command::List:
            return listRecords(database, account, options.argument);
        case Command::Show:
            return showRecord(database, account, options);
        case Command::Journal:
            return showJournal(database, account, options.day);
        case Command::JournalExport:
            return exportJournal(database, account, options);
        case Command::Help:
        case Command::Version:
            break;
    }
    out() << usageText();
    out().flush();
    return kDone;
}

}  // namespace ks::cli
