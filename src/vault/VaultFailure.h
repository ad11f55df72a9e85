#pragma once

#include <QString>

#include "core/FailureReport.h"
#include "core/Services.h"

namespace ks {

// The record the user picked has been removed meanwhile (by another running copy).
void reportRecordGone(Services& services);

}  // namespace ks
