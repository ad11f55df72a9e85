#pragma once

#include "core/AccountConversion.h"
#include "core/AccountValues.h"
#include "core/SealedBlobs.h"

namespace ks {

// The conversion of an account's rows that hold a name and a blob (pictures, stored files): the
// name and the blob of each row of `conversion.from` sealed for `conversion.to`, each row
// keeping its identity, on the caller's connection and inside its transaction.
DbStatus sealNamedBlobRows(Connection& connection, const AccountConversion& conversion,
                           const ValueColumn& name, const BlobColumn& blob);

}  // namespace ks
