#pragma once

#include <QByteArray>
#include <QString>

namespace ks::test {

// Whether the database at `databasePath` holds `bytes` anywhere a reader of the file could find
// them: in any value of any table (read with the program's fixed database key), or in the raw
// bytes of its rollback journal or write-ahead log. Empty bytes are never looked for. The test
// fails when the database cannot be read.
bool databaseHoldsBytes(const QString& databasePath, const QByteArray& bytes);

// The same for a text, as UTF-8 and as UTF-16; the empty text is never looked for.
bool databaseHoldsText(const QString& databasePath, const QString& text);

}  // namespace ks::test
