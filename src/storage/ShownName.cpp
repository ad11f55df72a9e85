#include "storage/ShownName.h"

namespace ks {

namespace {

bool isPlain(const QString& name, int limit) {
    if (name.isEmpty() || name.size() > limit) {
        return false;
    }
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('_')) {
            return false;
        }
    }
    return true;
}

// Shown as they are: printable characters that neither end a line nor change the direction or
// the joining of the text around them.
bool showsAsItself(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return QChar::isPrint(c) && category != QChar::Other_Format &&
           category != QChar::Separator_Line && category != QChar::Separator_Paragraph &&
           c != U'"' && c != U'\\';
}

QString escaped(char32_t c) {
    if (c == U'"' || c == U'\\') {
        return QLatin1Char('\\') + QChar(c);
    }
    return QStringLiteral("\\u{%1}").arg(quint32(c), 0, 16);
}

}  // namespace

QString shownName(const QString& name, int limit) {
    if (isPlain(name, limit)) {
        return name;
    }
    QString shown = QStringLiteral("\"");
    int count = 0;
    for (const char32_t c : name.toUcs4()) {
        if (count == limit) {
            shown += QChar(0x2026);
            break;
        }
        shown += showsAsItself(c) ? QString::fromUcs4(&c, 1) : escaped(c);
        ++count;
    }
    return shown + QLatin1Char('"');
}

}  // namespace ks
