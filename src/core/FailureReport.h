#pragma once

#include <QString>

#include "core/Dialogs.h"
#include "core/Services.h"
#include "storage/Database.h"

namespace ks {

// Tells the user, in one critical message, that a database step failed: what could not be
// done, why, and the engine's own words. The failed step has changed nothing.
void reportDatabaseFailure(Dialogs& dialogs, const QString& title, const QString& what,
                           const DbStatus& status);
void reportDatabaseFailure(Services& services, const QString& what, const DbStatus& status);

}  // namespace ks
