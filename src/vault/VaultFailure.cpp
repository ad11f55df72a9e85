#include "vault/VaultFailure.h"

#include "vault/RecordMessages.h"

namespace ks {

void reportRecordGone(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             recordGoneMessage());
}

void reportRecordUnreadable(Services& services, const DbStatus& status) {
    reportDatabaseFailure(services, QStringLiteral("The record could not be read."), status);
}

}  // namespace ks
