#include "journal/JournalDate.h"

#include <QStringView>

namespace ks {

// Built by hand: the journal's walks turn thousands of days into text at a time.
QString journalDateText(QDate day) {
    QString text(6, Qt::Uninitialized);
    QChar* out = text.data();
    const auto twoDigits = [](int number, QChar* at) {
        at[0] = QChar(u'0' + number / 10);
        at[1] = QChar(u'0' + number % 10);
    };
    twoDigits(day.day(), out);
    out[2] = QLatin1Char('/');
    twoDigits(day.month(), out + 3);
    out[5] = QLatin1Char('/');
    return text + QString::number(day.year());
}

std::optional<QDate> readJournalDate(const QString& text) {
    // Three numbers parted by '/', read without making a string of each part.
    QStringView rest = QStringView(text).trimmed();
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if ((slash < 0) != (i == 2)) {
            return std::nullopt;
        }
        const QStringView part = slash < 0 ? rest : rest.left(slash);
        bool ok = false;
        numbers[i] = part.toInt(&ok);
        if (!ok || part.isEmpty()) {
            return std::nullopt;
        }
        rest = slash < 0 ? QStringView() : rest.mid(slash + 1);
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
