#pragma once

#include <QString>

namespace ks {

// A name that comes from outside (a table in a foreign file, an account in an imported one), as
// a message may show it: a plain name of letters, digits and "_" as it is; anything else in
// double quotes, with control and layout characters (line breaks, right-to-left marks) and
// quotes written as escapes, cut with "…" after `limit` characters.
QString shownName(const QString& name, int limit = 40);

}  // namespace ks
