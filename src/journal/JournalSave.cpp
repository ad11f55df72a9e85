#include "journal/JournalSave.h"

#include "journal/JournalMessages.h"
#include "journal/JournalStore.h"

namespace ks {

QString JournalSaveResult::outcome() const {
    return saved() ? journal::success() : journal::failure();
}

JournalSaveResult SaveJournalEntry(Services& services, const QString& dateText, const QString& text,
                                   bool skipConfirmation, bool restoring) {
    const Account& account = services.state.CurrentAccount;
    const QString& title = services.state.AppTitle;
    Dialogs& dialogs = services.dialogs;

    const Result<bool> exists = journalEntryExists(services.database, account, dateText);
    if (!exists.ok()) {
        reportDatabaseFailure(services, journal::couldNotSave(), exists.status());
        return {JournalSaveStatus::Failed};
    }
    if (exists.value() && !skipConfirmation &&
        !dialogs.askYesNoKeepingText(title, journal::modifyQuestion())) {
        return {JournalSaveStatus::Refused};
    }
    // A protected account seals an entry of any length.
    if (!account.isProtected() && tooShortToEncrypt(text) &&
        !dialogs.askYesNoKeepingText(title, journal::tooShortQuestion())) {
        return {JournalSaveStatus::Refused};
    }
    const QString stored = account.isProtected() ? QString() : storedJournalValue(text);
    if (!account.isProtected() && !tooShortToEncrypt(text) && stored.isEmpty()) {
        // The cipher has shown its own message; an entry is never replaced by an empty value.
        return {JournalSaveStatus::Failed};
    }
    const JournalKeeping keeping{services.state.History.versionsKept, restoring};
    const Result<bool> created =
        account.isProtected() ? writeSealedJournalEntry(services.database, account, dateText, text,
                                                        services.clock.today(), keeping)
                              : writeJournalEntry(services.database, account.owner, dateText,
                                                  stored, services.clock.today(), keeping);
    if (!created.ok()) {
        reportDatabaseFailure(services, journal::couldNotSave(), created.status());
        return {JournalSaveStatus::Failed};
    }
    if (created.value()) {
        dialogs.message(MessageIcon::Information, title, journal::recordCreated());
    }
    return {JournalSaveStatus::Saved};
}

}  // namespace ks
