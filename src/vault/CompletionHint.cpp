#include "vault/CompletionHint.h"

namespace ks {

CompletionHint nextHint(CompletionHint hint, const QStringList& categories, const QString& typed) {
    if (typed.trimmed().isEmpty()) {
        hint.visible = false;
        return hint;
    }
    const QString wanted = typed.toUpper();
    for (const QString& entry : categories) {
        if (!entry.toUpper().startsWith(wanted)) {
            continue;
        }
        if (hint.caption.toUpper() == wanted) {
            hint.visible = false;
        } else {
            hint.caption = entry;
            hint.visible = true;
        }
    }
    // A hint left from shorter typing that no longer fits what is typed is never offered.
    if (hint.visible && !hint.caption.toUpper().startsWith(wanted)) {
        hint.visible = false;
    }
    return hint;
}

QString adoptHintSpelling(const QString& text, const QString& hintCaption) {
    return text.toUpper() == hintCaption.toUpper() ? hintCaption : text;
}

}  // namespace ks
