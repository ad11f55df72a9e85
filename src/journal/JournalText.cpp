#include "journal/JournalText.h"

#include <QPlainTextEdit>
#include <QTextDocument>

namespace ks {

QString entryText(const QPlainTextEdit* box) {
    // The document keeps a paragraph separator between its blocks; the plain-text export would
    // also turn no-break spaces into spaces, so the raw text is taken instead.
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void showEntryText(QPlainTextEdit* box, const QString& text) {
    box->setPlainText(text);
}

}  // namespace ks
