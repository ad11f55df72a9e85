#pragma once

#include <QByteArray>
#include <optional>

#include "interchange/CsvReader.h"

namespace ks {

// A look at the first bytes of a file before it is read as CSV: files that are plainly not
// UTF-8 text (UTF-16 text, a KeePass database, a ZIP archive such as a spreadsheet, any other
// binary file) are refused at once, with a message that says what the file seems to be.
std::optional<CsvError> sniffText(const QByteArray& head);

// The length of a UTF-8 byte-order mark at the start of `head` (0 or 3).
qint64 utf8BomLength(const QByteArray& head);

}  // namespace ks
