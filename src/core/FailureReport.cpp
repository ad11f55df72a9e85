#include "core/FailureReport.h"

#include "core/DatabaseTexts.h"

namespace ks {

void reportDatabaseFailure(Dialogs& dialogs, const QString& title, const QString& what,
                           const DbStatus& status) {
    QString text = what + QLatin1Char(' ') + describeDatabaseStatus(status);
    if (!status.detail.isEmpty()) {
        text += QStringLiteral("\r\r(%1)").arg(status.detail);
    }
    dialogs.message(MessageIcon::Critical, title, text);
}

void reportDatabaseFailure(Services& services, const QString& what, const DbStatus& status) {
    reportDatabaseFailure(services.dialogs, services.state.AppTitle, what, status);
}

}  // namespace ks
