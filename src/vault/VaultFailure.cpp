#include "vault/VaultFailure.h"

namespace ks {

void reportRecordGone(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             QStringLiteral("That record no longer exists."));
}

void reportRecordUnreadable(Services& services, const DbStatus& status) {
    reportDatabaseFailure(services, QStringLiteral("The record could not be read."), status);
}

}  // namespace ks
