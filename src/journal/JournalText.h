#pragma once

#include <QString>

class QPlainTextEdit;

namespace ks {

// The text of an entry box, every character as typed: a line break is "\n" and nothing else is
// changed (no-break spaces and line separators stay what they are).
QString entryText(const QPlainTextEdit* box);
// Puts a text into an entry box.
void showEntryText(QPlainTextEdit* box, const QString& text);

}  // namespace ks
