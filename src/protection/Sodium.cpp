#include "protection/Sodium.h"

#include <sodium.h>

namespace ks {

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace ks
