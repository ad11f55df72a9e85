#include "interchange/JournalFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ks {

using namespace Qt::StringLiterals;

namespace {

QString dayText(QDate day) {
    return day.toString(u"dd/MM/yyyy"_s);
}

// A stored dd/mm/yyyy date in ISO form; what cannot be read stays as it is.
QString isoOf(const QString& stored) {
    const QDate day = QDate::fromString(stored, u"dd/MM/yyyy"_s);
    return day.isValid() ? day.toString(Qt::ISODate) : stored;
}

}  // namespace

QString markdownEscaped(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&') {
            escaped += u"&amp;"_s;
        } else if (c == u'<') {
            escaped += u"&lt;"_s;
        } else if (c == u'>') {
            escaped += u"&gt;"_s;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

QByteArray journalMarkdown(const QList<JournalExportEntry>& entries, QDate from, QDate to) {
    QString text = u"# Journal, %1 to %2\n"_s.arg(dayText(from), dayText(to));
    for (const JournalExportEntry& entry : entries) {
        text += u"\n## %1\n\n%2\n"_s.arg(dayText(entry.day), markdownEscaped(entry.text));
    }
    return text.toUtf8();
}

QByteArray journalJson(const QList<JournalExportEntry>& entries) {
    QJsonArray array;
    for (const JournalExportEntry& entry : entries) {
        array.append(QJsonObject{{u"day"_s, entry.day.toString(Qt::ISODate)},
                                 {u"text"_s, entry.text},
                                 {u"created"_s, isoOf(entry.created)},
                                 {u"modified"_s, isoOf(entry.modified)}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

QByteArray formattedJournal(JournalFormat format, const QList<JournalExportEntry>& entries,
                            QDate from, QDate to) {
    return format == JournalFormat::Json ? journalJson(entries)
                                         : journalMarkdown(entries, from, to);
}

}  // namespace ks
