#pragma once

#include <QLocale>
#include <QString>

namespace ks {

// A byte count as the file list shows it: "500 b", "1.5 Kb", "2 Mb", "1 Gb". The quotient is
// rounded to hundredths with halves to the even digit, written in its shortest form with the
// locale's decimal separator.
QString sizeText(qint64 bytes, const QLocale& locale = QLocale());

// The same for an archive's size: the quotient is first held with four decimal places (rounded
// the same way) and then rounded to hundredths.
QString compressedSizeText(qint64 bytes, const QLocale& locale = QLocale());

}  // namespace ks
