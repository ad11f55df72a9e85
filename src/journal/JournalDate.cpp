#include "journal/JournalDate.h"

#include <QStringList>

namespace ks {

QString journalDateText(QDate day) {
    const QChar zero = QLatin1Char('0');
    return QStringLiteral("%1/%2/%3")
        .arg(day.day(), 2, 10, zero)
        .arg(day.month(), 2, 10, zero)
        .arg(day.year());
}

std::optional<QDate> readJournalDate(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        numbers[i] = parts.at(i).toInt(&ok);
        if (!ok || parts.at(i).isEmpty()) {
            return std::nullopt;
        }
    }
    const QDate day(numbers[2], numbers[1], numbers[0]);
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

QDate firstCalendarDay() {
    return QDate(1900, 1, 1);
}

QDate lastCalendarDay() {
    return QDate(2100, 12, 31);
}

}  // namespace ks
