#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace ks {

// The journal date text of a day: two-digit day, "/", two-digit month, "/", the year, the same
// text the format "dd/mm/yyyy" gives, with "/" whatever the system's date settings.
QString journalDateText(QDate day);

// A date text read back as day/month/year; nullopt when it names no day.
std::optional<QDate> readJournalDate(const QString& text);

// The first and the last day the journal calendar offers: 1 January 1900 to 31 December 2100.
// Every day in between has a four-digit year, so its date text has the fixed form.
QDate firstCalendarDay();
QDate lastCalendarDay();

}  // namespace ks
