#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QIODevice;

namespace ks {

// Comma-separated values as RFC 4180 describes them, read strictly:
// - fields are separated by commas and records end with CRLF or LF (the last one may be
//   missing); a carriage return anywhere else outside quotes is refused;
// - a field that starts with a double quote runs to the matching closing quote and may hold
//   commas, doubled quotes (one quote each) and line breaks; inside such a field a CRLF becomes
//   a plain LF (the vault's text boxes break lines with LF alone), while an LF or a lone CR is
//   kept as it is; nothing else may follow the closing quote but a comma or the end of the line;
// - a field that does not start with a quote must not hold one; spaces are part of the field;
// - the text is UTF-8, with or without a byte-order mark;
// - the first record is the header: every column has a name, no name twice (letter case and
//   spaces around ignored), and every later record has exactly as many fields; a header of one
//   column that holds semicolons or tabs is a file in another dialect, and is refused;
// - an empty line (nothing between two line breaks) is not a record and is passed over.
// Anything else is refused with the number of the physical line where the fault starts.
// The input is read in small pieces, so a refusal for size comes after at most one field's
// worth of bytes, whatever the size of the file.

struct CsvError {
    int line = 0;     // the physical line, counted from 1
    QString message;  // says what is wrong, naming the line
};

struct CsvRow {
    int line = 0;  // where the record starts
    QStringList fields;
};

struct CsvTable {
    QStringList header;  // the column names, trimmed
    QList<CsvRow> rows;  // the records after the header, at least one
};

// What a file may hold before it is refused.
struct CsvLimits {
    qint64 fieldBytes = 1024 * 1024;       // a field (a record's notes, say)
    qint64 totalBytes = 64 * 1024 * 1024;  // the whole file
    int columns = 100;
    int rows = 100'000;
    int headerNameChars = 200;  // a longer first field is data, not a column name
};

struct CsvRead {
    CsvTable table;
    std::optional<CsvError> error;  // set when the input was refused; the table is then empty

    bool ok() const { return !error.has_value(); }
};

// Reads a whole CSV file, or says why not.
CsvRead readCsvFile(const QString& path, const CsvLimits& limits = {});
// The same from an open device (a file, a buffer, a pipe), read to its end.
CsvRead readCsv(QIODevice& device, const CsvLimits& limits = {});

}  // namespace ks
