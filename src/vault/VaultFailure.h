#pragma once

#include <QString>

#include "core/FailureReport.h"
#include "core/Services.h"
#include "vault/RecordStore.h"

namespace ks {

// The record the user picked has been removed meanwhile (by another running copy).
void reportRecordGone(Services& services);

// Tells the user why a save of a record (or a restore, which is a save) was refused or failed:
// nothing for a save that went through, a blank short name (the save button has refused it
// already) or a cipher failure (the cipher has shown its message).
void reportSaveRefused(Services& services, const SaveResult& result);

// A record could not be read from the database.
void reportRecordUnreadable(Services& services, const DbStatus& status);

}  // namespace ks
