#include "files/SizeText.h"

namespace ks {

namespace {

// Unsigned 64 bits hold every step: the whole part of a quotient is below 2^34 (the largest
// count over 2^30) times 10000, the scaled rest below 2^30 times 10000.
using Wide = quint64;

struct Unit {
    int shift;  // the unit is 2^shift bytes
    const char* suffix;
};

Unit unitFor(qint64 bytes) {
    if (bytes < (qint64{1} << 10)) {
        return {0, " b"};
    }
    if (bytes < (qint64{1} << 20)) {
        return {10, " Kb"};
    }
    if (bytes < (qint64{1} << 30)) {
        return {20, " Mb"};
    }
    return {30, " Gb"};
}

// value * scale / divisor rounded to a whole number, halves to the even one.
Wide scaledHalfEven(Wide value, Wide scale, Wide divisor) {
    const Wide scaledRest = (value % divisor) * scale;
    Wide quotient = (value / divisor) * scale + scaledRest / divisor;
    const Wide twiceRest = 2 * (scaledRest % divisor);
    if (twiceRest > divisor || (twiceRest == divisor && (quotient & 1) != 0)) {
        ++quotient;
    }
    return quotient;
}

QString digits(Wide value) {
    QString text;
    do {
        text.prepend(QChar(u'0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return text;
}

// A count of hundredths in its shortest decimal form.
QString hundredthsText(Wide hundredths, const QLocale& locale) {
    QString text = digits(hundredths / 100);
    const int fraction = static_cast<int>(hundredths % 100);
    if (fraction != 0) {
        text += locale.decimalPoint();
        text += QChar(u'0' + fraction / 10);
        if (fraction % 10 != 0) {
            text += QChar(u'0' + fraction % 10);
        }
    }
    return text;
}

QString sizeTextWith(qint64 bytes, bool throughFourPlaces, const QLocale& locale) {
    const Wide n = bytes < 0 ? 0 : static_cast<Wide>(bytes);
    const Unit unit = unitFor(static_cast<qint64>(n));
    const Wide divisor = Wide{1} << unit.shift;
    const Wide hundredths = throughFourPlaces
                                ? scaledHalfEven(scaledHalfEven(n, 10000, divisor), 1, 100)
                                : scaledHalfEven(n, 100, divisor);
    return hundredthsText(hundredths, locale) + QLatin1String(unit.suffix);
}

}  // namespace

QString sizeText(qint64 bytes, const QLocale& locale) {
    return sizeTextWith(bytes, false, locale);
}

QString compressedSizeText(qint64 bytes, const QLocale& locale) {
    return sizeTextWith(bytes, true, locale);
}

}  // namespace ks
