#include "options/ConversionParts.h"

#include "vault/RecordSealing.h"

namespace ks {

QList<ConversionPart> accountConversionParts() {
    return {sealRecords};
}

}  // namespace ks
