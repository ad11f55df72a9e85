#pragma once

#include <QString>

#include "storage/Services.h"

namespace ks {

// Reports a failed database step of the vault in one critical message titled AppTitle: what
// could not be done, why, and the engine's own words. Nothing has been changed.
void reportVaultFailure(Services& services, const QString& what, const DbStatus& status);

// The record the user picked has been removed meanwhile (by another running copy).
void reportRecordGone(Services& services);

}  // namespace ks
