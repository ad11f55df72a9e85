#pragma once

#include <QString>
#include <QStringList>

namespace ks {

// The completion hint under the editor's category box: the offered name and whether it shows.
struct CompletionHint {
    QString caption;
    bool visible = false;
};

// The hint after a key is released in the category box holding `typed`. Every known category
// that begins with the typed text (letter case ignored) is looked at in list order: it becomes
// the hint, unless the hint already equals the typed text, which hides the hint instead. With
// several matches the last one therefore ends up offered. A hint that does not begin with the
// typed text is hidden (it keeps its caption), and blank text hides the hint.
CompletionHint nextHint(CompletionHint hint, const QStringList& categories, const QString& typed);

// The box's text once it loses the focus: the hint's spelling when the text equals it apart
// from letter case, else the text unchanged.
QString adoptHintSpelling(const QString& text, const QString& hintCaption);

}  // namespace ks
