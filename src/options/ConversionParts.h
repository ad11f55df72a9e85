#pragma once

#include <QList>

#include "options/AccountProtection.h"

namespace ks {

// Every part of the vault that converts an account's rows when it is protected: the records
// and categories, the journal, the pictures and the stored files.
QList<ConversionPart> accountConversionParts();

}  // namespace ks
