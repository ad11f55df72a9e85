#include "core/FailureReport.h"

#include "core/DatabaseTexts.h"

namespace ks {

void reportDatabaseFailure(Dialogs& dialogs, const QString& title, const QString& what,
                           const DbStatus& status) {
    dialogs.message(MessageIcon::Critical, title,
                    what + QLatin1Char(' ') + describeDatabaseFailure(status));
}

void reportDatabaseFailure(Services& services, const QString& what, const DbStatus& status) {
    reportDatabaseFailure(services.dialogs, services.state.AppTitle, what, status);
}

}  // namespace ks
