#pragma once

#include <QString>

namespace ks::cli {

enum class LineBreaks {
    Escaped,  // a one-line value: a line break is shown as \n
    Kept,     // a text of several lines (notes, a journal entry): line feeds stay line breaks
};

// A stored text made safe to print: every control character (C0, DEL, C1) except the tab, and
// the line feed where `lineBreaks` keeps it, is shown as an escape (\n, \r, \e, \xHH, \u0085)
// instead of reaching the terminal, where it could move the cursor, retitle the window or hide
// what came before it. The same rule holds whether the output goes to a terminal or not.
QString printable(const QString& text, LineBreaks lineBreaks = LineBreaks::Escaped);

// A text put into Markdown as plain text: &, < and > become entities, so that no markup in it
// is taken as HTML.
QString htmlEscaped(const QString& text);

}  // namespace ks::cli
