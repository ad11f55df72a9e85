#pragma once

#include <QString>

namespace ks {

// The fixed pass phrase compiled into the program: the key of every encrypted field and the
// password of the database file.
inline QString PassPhrase() {
    return QStringLiteral("PineHarbor");
}

}  // namespace ks
