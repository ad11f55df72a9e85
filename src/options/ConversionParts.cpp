#include "options/ConversionParts.h"

namespace ks {

QList<ConversionPart> accountConversionParts() {
    return {};
}

}  // namespace ks
