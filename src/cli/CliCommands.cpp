#include "cli/CliCommands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/CliEditing.h"
#include "cli/CliRecords.h"
#include "cli/CliSync.h"
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
#include "storage/SettingsFile.h"
#include "vault/CategoryStore.h"
#include "vault/RecordStore.h"
#include "vault/VaultNames.h"

namespace ks::cli {

namespace {

int failed(const DbStatus& status) {
    return databaseFailed(status);
}

int listRecords(DatabaseAccess& database, const Account& account, const QString& category,
                bool json) {
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
    if (json) {
        QJsonArray array;
        for (const RecordLine& line : lines.value()) {
            array.append(QJsonObject{{QStringLiteral("shortName"), line.shortName},
                                     {QStringLiteral("category"), line.category}});
        }
        out() << jsonText(array) << '\n';
    }
    for (const RecordLine& line : json ? QList<RecordLine>() : lines.value()) {
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

QJsonObject recordJson(const RecordFields& fields, bool withPassword) {
    QJsonObject object{{QStringLiteral("shortName"), fields.shortName},
                       {QStringLiteral("userName"), fields.userName},
                       {QStringLiteral("description"), fields.description},
                       {QStringLiteral("notes"), fields.notes},
                       {QStringLiteral("category"), fields.category}};
    if (withPassword) {
        object.insert(QStringLiteral("password"), fields.password);
    }
    return object;
}

int showRecord(DatabaseAccess& database, const Account& account, const CliOptions& options) {
    RecordStore store(database);
    const std::variant<StoredRecord, int> found = findRecord(store, account, options.argument);
    if (const int* code = std::get_if<int>(&found)) {
        return *code;
    }
    const RecordFields& fields = std::get<StoredRecord>(found).fields;
    if (options.json) {
        out() << jsonText(recordJson(fields, options.showProtected)) << '\n';
        out().flush();
        return kDone;
    }
    printRecord(fields, options);
    return kDone;
}

int showJournal(DatabaseAccess& database, const Account& account, QDate day, bool json) {
    const Result<std::optional<QString>> entry =
        LoadJournalEntry(database, account, journalDateText(day));
    if (!entry.ok()) {
        return failed(entry.status());
    }
    if (!entry.value() || isBlankJournalText(*entry.value())) {
        tell(QStringLiteral("There is no journal entry for %1.").arg(journalDateText(day)));
        return kRefused;
    }
    if (json) {
        out() << jsonText(QJsonObject{{QStringLiteral("day"), day.toString(Qt::ISODate)},
                                      {QStringLiteral("text"), *entry.value()}})
              << '\n';
    } else {
        out() << printable(*entry.value(), LineBreaks::Kept) << '\n';
    }
    out().flush();
    return kDone;
}

int exportJournal(DatabaseAccess& database, const Account& account, const CliOptions& options) {
    const Result<QList<JournalExportEntry>> entries =
        readJournalRange(database, account, options.from, options.to);
    if (!entries.ok()) {
        return failed(entries.status());
    }
    const QByteArray text =
        formattedJournal(options.journalFormat, entries.value(), options.from, options.to);
    // JSON escapes every control character; Markdown goes through the terminal's rule.
    if (options.journalFormat == JournalFormat::Json) {
        out() << jsonText(QJsonDocument::fromJson(text).array()) << '\n';
    } else {
        out() << printable(QString::fromUtf8(text), LineBreaks::Kept);
    }
    out().flush();
    return kDone;
}

}  // namespace

int runCommand(const CliOptions& options, DatabaseAccess& database, const Account& account,
               const QString& dataFolder) {
    // What history keeps, as Options set it for this data folder (the defaults without a file).
    const HistorySettings history = historySettingsFrom(readSettings(dataFolder));
    switch (options.command) {
        case Command::ImportCsv:
            return importCsv(database, account, options.argument, backupsFolderIn(dataFolder));
        case Command::ExportCsv:
            return exportCsv(database, account, options.argument);
        case Command::Merge:
            return mergeFile(database, account, options.argument, dataFolder, options.dryRun);
        case Command::Sync:
            return syncFolder(database, account, options.argument, dataFolder);
        case Command::Add:
            return addRecord(database, account, options, history);
        case Command::Edit:
            return editRecord(database, account, options, history);
        case Command::Remove:
            return removeRecord(database, account, options.argument, history);
        case Command::JournalAdd:
            return addJournalEntry(database, account, options, history);
        case Command::List:
            return listRecords(database, account, options.argument, options.json);
        case Command::Show:
            return showRecord(database, account, options);
        case Command::Journal:
            return showJournal(database, account, options.day, options.json);
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
