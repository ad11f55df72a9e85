#include "interchange/CsvMessages.h"

#include <QLocale>

namespace ks::csvmsg {

namespace {

CsvError at(int line, const QString& what) {
    return {line, QStringLiteral("Line %1: %2").arg(line).arg(what)};
}

QString mebibytes(qint64 bytes) {
    return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
}

}  // namespace

CsvError unreadable(const QString& reason) {
    return at(1, QStringLiteral("the file could not be read (%1).").arg(reason));
}

CsvError empty() {
    return at(1, QStringLiteral("the file is empty."));
}

CsvError onlyHeader(int line) {
    return at(line, QStringLiteral("the file holds a header line but no records."));
}

CsvError binary() {
    return at(1, QStringLiteral("this is not a text file, so it cannot be CSV."));
}

CsvError utf16() {
    return at(1, QStringLiteral("the file is UTF-16 text; save it as UTF-8 and try again."));
}

CsvError keePassDatabase() {
    return at(1, QStringLiteral("this is a KeePass database, not CSV; export it as CSV from "
                                "KeePassXC first."));
}

CsvError zipArchive() {
    return at(1, QStringLiteral("this is a ZIP archive (a spreadsheet, perhaps), not CSV; save "
                                "it as CSV first."));
}

CsvError tooLarge(int line, qint64 limit) {
    return at(line, QStringLiteral("the file is larger than %1, more than any password list "
                                   "needs.")
                        .arg(mebibytes(limit)));
}

CsvError unterminatedQuote(int line, int field) {
    return at(line,
              QStringLiteral("the quote that opens field %1 here is never closed.").arg(field));
}

CsvError quoteInUnquoted(int line, int field) {
    return at(line, QStringLiteral("field %1 holds a quote but does not start with one; a "
                                   "field with quotes must be quoted, its quotes doubled.")
                        .arg(field));
}

CsvError textAfterQuote(int line, int field) {
    return at(line, QStringLiteral("text follows the closing quote of field %1 (a quote "
                                   "inside a quoted field must be doubled).")
                        .arg(field));
}

CsvError strayCarriageReturn(int line) {
    return at(line, QStringLiteral("a carriage return that does not end the line (lines must "
                                   "end with CRLF or LF)."));
}

CsvError nulCharacter(int line) {
    return at(line, QStringLiteral("the line holds a NUL character, which no text may hold."));
}

CsvError invalidUtf8(int line) {
    return at(line, QStringLiteral("the line is not valid UTF-8 text; save the file as UTF-8 "
                                   "and try again."));
}

CsvError fieldTooLong(int line, int field, qint64 limit) {
    return at(line, QStringLiteral("field %1, which starts here, is longer than %2.")
                        .arg(field)
                        .arg(mebibytes(limit)));
}

CsvError tooFewFields(int line, int fields, int columns) {
    return at(
        line,
        QStringLiteral("the record has %1 fields; the header has %2.").arg(fields).arg(columns));
}

CsvError tooManyFields(int line, int columns) {
    return at(line,
              QStringLiteral("the record has more fields than the header's %1.").arg(columns));
}

CsvError tooManyColumns(int columns) {
    return at(1, QStringLiteral("the header has more than %1 columns.").arg(columns));
}

CsvError tooManyRecords(int line, int rows) {
    return at(line, QStringLiteral("the file holds more than %1 records.")
                        .arg(QLocale(QLocale::English).toString(rows)));
}

CsvError notAHeader(int field) {
    return at(1, QStringLiteral("the first line is not a header of column names (its field %1 "
                                "is empty, too long or spans lines).")
                     .arg(field));
}

CsvError otherSeparator() {
    return at(1, QStringLiteral("the fields are separated by semicolons or tabs, not commas; save "
                                "the file as comma-separated CSV."));
}

CsvError duplicateColumn(const QString& name, int first, int second) {
    return at(1, QStringLiteral("the header names the column \"%1\" twice (fields %2 and %3).")
                     .arg(name)
                     .arg(first)
                     .arg(second));
}

}  // namespace ks::csvmsg
