#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

namespace ks {

// One journal entry on its way out of the vault.
struct JournalExportEntry {
    QDate day;
    QString text;
    QString created;   // the day it was made and last saved, as the journal keeps them
    QString modified;  // (dd/mm/yyyy)
};

enum class JournalFormat { Markdown, Json };

// The entries of the days from `from` to `to` as Markdown: a heading for the range, then one
// heading per day (its journal date text) over the entry's text, in which &, < and > become
// entities so that no markup in it is taken as HTML. UTF-8, LF line ends.
QByteArray journalMarkdown(const QList<JournalExportEntry>& entries, QDate from, QDate to);

// The same as a JSON array of objects {"day", "text", "created", "modified"}, days in ISO form
// (yyyy-mm-dd; a stored date that cannot be read is kept as it is). UTF-8.
QByteArray journalJson(const QList<JournalExportEntry>& entries);

QByteArray formattedJournal(JournalFormat format, const QList<JournalExportEntry>& entries,
                            QDate from, QDate to);

// Markup-free text for Markdown: &, < and > as entities.
QString markdownEscaped(const QString& text);

}  // namespace ks
