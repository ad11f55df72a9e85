#pragma once

namespace ks {

// Makes libsodium ready for use; safe to call any number of times from any thread. False when
// the library cannot start (no usable random source), in which case nothing may be sealed.
bool sodiumReady();

}  // namespace ks
