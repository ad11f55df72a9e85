#include "vault/VaultFailure.h"

#include "vault/RecordMessages.h"

namespace ks {

void reportRecordGone(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             recordGoneMessage());
}

void reportSaveRefused(Services& services, const SaveResult& result) {
    const QString& title = services.state.AppTitle;
    switch (result.outcome) {
        case SaveOutcome::ShortNameTooShort:
            // Creating and editing refuse a short name of 3 characters or fewer alike.
            services.dialogs.message(MessageIcon::Critical, title, shortNameTooShortMessage());
            return;
        case SaveOutcome::ShortNameInUse:
            services.dialogs.message(MessageIcon::Exclamation, title, shortNameInUseMessage());
            return;
        case SaveOutcome::NotFound:
            reportRecordGone(services);
            return;
        case SaveOutcome::VersionDamaged:
            services.dialogs.message(MessageIcon::Exclamation, title, versionDamagedMessage());
            return;
        case SaveOutcome::DatabaseFailed:
            reportDatabaseFailure(services, recordNotSavedMessage(), result.status);
            return;
        case SaveOutcome::Saved:
        case SaveOutcome::ShortNameBlank:
        case SaveOutcome::NotEncrypted:
            return;
    }
}

void reportRecordUnreadable(Services& services, const DbStatus& status) {
    reportDatabaseFailure(services, QStringLiteral("The record could not be read."), status);
}

}  // namespace ks
