#include "vault/VaultFailure.h"

namespace ks {

void reportVaultFailure(Services& services, const QString& what, const DbStatus& status) {
    QString text = QStringLiteral("%1 %2").arg(what, status.describe());
    if (!status.detail.isEmpty()) {
        text += QStringLiteral("\r\r(%1)").arg(status.detail);
    }
    services.dialogs.message(MessageIcon::Critical, services.state.AppTitle, text);
}

void reportRecordGone(Services& services) {
    services.dialogs.message(MessageIcon::Exclamation, services.state.AppTitle,
                             QStringLiteral("That record no longer exists."));
}

}  // namespace ks
