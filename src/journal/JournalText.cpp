#include "journal/JournalText.h"

#include "widgets/TextBox.h"

namespace ks {

QString entryText(const QPlainTextEdit* box) {
    // Paragraph by paragraph: the plain-text export would turn no-break spaces into spaces.
    return documentText(box->document());
}

void showEntryText(QPlainTextEdit* box, const QString& text) {
    if (auto* textBox = qobject_cast<TextBox*>(box)) {
        textBox->setText(text);
    } else {
        box->setPlainText(text);
    }
}

}  // namespace ks
