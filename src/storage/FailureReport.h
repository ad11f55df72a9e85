#pragma once

#include <QString>

#include "storage/Database.h"
#include "storage/Dialogs.h"
#include "storage/Services.h"

namespace ks {

// Tells the user, in one critical message, that a database step failed: what could not be
// done, why, and the engine's own words. The failed step has changed nothing.
void reportDatabaseFailure(Dialogs& dialogs, const QString& title, const QString& what,
                           const DbStatus& status);
void reportDatabaseFailure(Services& services, const QString& what, const DbStatus& status);

}  // namespace ks
