#pragma once

#include <QByteArrayView>

namespace ks {

// The bytes of a view as libsodium takes them.
inline const unsigned char* bytesOf(QByteArrayView view) {
    return reinterpret_cast<const unsigned char*>(view.data());
}

// Makes libsodium ready for use; safe to call any number of times from any thread. False when
// the library cannot start (no usable random source), in which case nothing may be sealed.
bool sodiumReady();

}  // namespace ks
