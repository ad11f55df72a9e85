#pragma once

#include <QString>

#include "WindowsFill.h"

namespace ks::bench {

// The pass phrase of the measured user once its account is protected.
QString userPassPhrase();

// The path of a copy of `plainPath` (the database filled for `plan`) whose measured user is a
// protected account: its values sealed with a data key that only userPassPhrase() opens, the
// pass phrase stretched as cheaply as libsodium allows. Made on first use and kept beside the
// plain database, which is never changed; empty when it could not be made.
QString cachedProtectedDatabase(const FillPlan& plan, const QString& plainPath);

}  // namespace ks::bench
