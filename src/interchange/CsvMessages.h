#pragma once

#include <QString>

#include "interchange/CsvReader.h"

namespace ks::csvmsg {

// Why a CSV file is refused; each names the physical line where the fault starts.

CsvError unreadable(const QString& reason);
CsvError empty();
CsvError onlyHeader(int line);
CsvError binary();
CsvError utf16();
CsvError keePassDatabase();
CsvError zipArchive();
CsvError tooLarge(int line, qint64 limit);
CsvError unterminatedQuote(int line, int field);
CsvError quoteInUnquoted(int line, int field);
CsvError textAfterQuote(int line, int field);
CsvError strayCarriageReturn(int line);
CsvError nulCharacter(int line);
CsvError invalidUtf8(int line);
CsvError fieldTooLong(int line, int field, qint64 limit);
CsvError tooFewFields(int line, int fields, int columns);
CsvError tooManyFields(int line, int columns);
CsvError tooManyColumns(int columns);
CsvError tooManyRecords(int line, int rows);
CsvError notAHeader(int field);
CsvError otherSeparator();
CsvError duplicateColumn(const QString& name, int first, int second);

}  // namespace ks::csvmsg
