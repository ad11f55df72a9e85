#include "cli/CliEditing.h"

#include <variant>

#include "cli/CliRecords.h"
#include "cli/ConsoleIo.h"
#include "cli/OutputText.h"
#include "core/CommonTexts.h"
#include "core/DatabaseTexts.h"
#include "journal/JournalDate.h"
#include "journal/JournalMessages.h"
#include "journal/JournalStore.h"
#include "vault/RecordMessages.h"
#include "vault/RecordStore.h"

namespace ks::cli {

namespace {

// The outcome of a save as the editor reports it; `done` is printed on success.
int reportSave(const SaveResult& result, const QString& done) {
    switch (result.outcome) {
        case SaveOutcome::Saved:
            if (!done.isEmpty()) {
                out() << done << '\n';
                out().flush();
            }
            return kDone;
        case SaveOutcome::ShortNameBlank:
            tell(shortNameBlankMessage());
            return kRefused;
        case SaveOutcome::ShortNameTooShort:
            tell(shortNameTooShortMessage());
            return kRefused;
        case SaveOutcome::ShortNameInUse:
            tell(shortNameInUseMessage());
            return kRefused;
        case SaveOutcome::NotFound:
            tell(recordGoneMessage());
            return kRefused;
        case SaveOutcome::VersionDamaged:
            tell(versionDamagedMessage());
            return kRefused;
        case SaveOutcome::NotEncrypted:  // the cipher has said why
            return kError;
        case SaveOutcome::DatabaseFailed:
            break;
    }
    tell(recordNotSavedMessage() + describeDatabaseFailure(result.status));
    return kError;
}

// The values given on the command line over `fields`; false when the password was not given.
bool applyChanges(const CliOptions& options, RecordFields& fields) {
    const RecordChanges& changes = options.changes;
    fields.shortName = changes.shortName.value_or(fields.shortName);
    fields.userName = changes.userName.value_or(fields.userName);
    fields.category = changes.category.value_or(fields.category);
    fields.notes = changes.notes.value_or(fields.notes);
    if (changes.askPassword) {
        const std::optional<QString> password = readRecordPassword(options.readStdin);
        if (!password) {
            return false;
        }
        fields.password = *password;
    }
    return true;
}

}  // namespace

int addRecord(DatabaseAccess& database, const Account& account, const CliOptions& options,
              const HistorySettings& history) {
    RecordFields fields;
    fields.shortName = options.argument;
    if (fields.shortName.trimmed().isEmpty()) {
        tell(shortNameBlankMessage());
        return kRefused;
    }
    if (!applyChanges(options, fields)) {
        return kRefused;
    }
    RecordStore store(database, &history);
    return reportSave(store.CreateRecord(account, fields), recordCreatedMessage());
}

int editRecord(DatabaseAccess& database, const Account& account, const CliOptions& options,
               const HistorySettings& history) {
    RecordStore store(database, &history);
    std::variant<StoredRecord, int> found = findRecord(store, account, options.argument);
    if (const int* code = std::get_if<int>(&found)) {
        return *code;
    }
    StoredRecord& record = std::get<StoredRecord>(found);
    if (!applyChanges(options, record.fields)) {
        return kRefused;
    }
    return reportSave(store.UpdateRecord(account, record.counter, record.fields), QString());
}

int removeRecord(DatabaseAccess& database, const Account& account, const QString& name,
                 const HistorySettings& history) {
    RecordStore store(database, &history);
    const std::variant<StoredRecord, int> found = findRecord(store, account, name);
    if (const int* code = std::get_if<int>(&found)) {
        return *code;
    }
    const StoredRecord& record = std::get<StoredRecord>(found);
    const Result<int> removed = store.DeleteRecord(account, record.counter);
    if (!removed.ok()) {
        return databaseFailed(removed.status());
    }
    if (removed.value() == 0) {
        tell(recordGoneMessage());
        return kRefused;
    }
    out() << "Deleted the record " << printable(record.fields.shortName) << ".\n";
    out().flush();
    return kDone;
}

int addJournalEntry(DatabaseAccess& database, const Account& account, const CliOptions& options,
                    const HistorySettings& history) {
    const QString date = journalDateText(options.day);
    const Result<bool> exists = journalEntryExists(database, account, date);
    if (!exists.ok()) {
        return databaseFailed(exists.status());
    }
    if (exists.value()) {
        tell(QStringLiteral("There is a journal entry for %1 already; journal-add writes only a "
                            "day that has none.")
                 .arg(date));
        return kRefused;
    }
    const QString text = readRemainingInput();
    if (isBlankJournalText(text)) {
        tell(QStringLiteral("No text was given for the journal entry of %1.").arg(date));
        return kRefused;
    }
    // The window would ask whether to keep such a text unencrypted; the command does not.
    if (!account.isProtected() && tooShortToEncrypt(text)) {
        tell(journal::tooShortQuestion().section(QStringLiteral("\r\r"), 0, 0) +
             QStringLiteral(" It was not saved."));
        return kRefused;
    }
    const QDate today = QDate::currentDate();
    const JournalKeeping keeping{history.versionsKept, false};
    const Result<bool> written =
        account.isProtected()
            ? writeSealedJournalEntry(database, account, date, text, today, keeping)
            : writeJournalEntry(database, account.owner, date, storedJournalValue(text), today,
                                keeping);
    if (!written.ok()) {
        tell(journal::couldNotSave() + describeDatabaseFailure(written.status()));
        return kError;
    }
    out() << recordCreatedMessage() << '\n';
    out().flush();
    return kDone;
}

}  // namespace ks::cli
