#pragma once

#include <QString>

#include "core/FailureReport.h"
#include "core/Services.h"

namespace ks {

// The record the user picked has been removed meanwhile (by another running copy).
void reportRecordGone(Services& services);

// A record could not be read from the database.
void reportRecordUnreadable(Services& services, const DbStatus& status);

}  // namespace ks
