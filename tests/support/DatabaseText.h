#pragma once

#include <QString>

namespace ks::test {

// Whether the database at `databasePath` holds `text` anywhere a reader of the file could find
// it: in any value of any table (read with the program's fixed database key; as UTF-8 and as
// UTF-16), or in the raw bytes of its rollback journal or write-ahead log. The empty text is
// never looked for. The test fails when the database cannot be read.
bool databaseHoldsText(const QString& databasePath, const QString& text);

}  // namespace ks::test
