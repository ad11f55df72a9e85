#include "vault/VaultFailure.h"

namespace ks {

void reportRecordGone(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             QStringLiteral("That record no longer exists."));
}

}  // namespace ks
