#include "cli/OutputText.h"

namespace ks::cli {

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

QString escapeOf(char16_t c) {
    switch (c) {
        case u'\n':
            return QStringLiteral("\\n");
        case u'\r':
            return QStringLiteral("\\r");
        case u'\x1b':
            return QStringLiteral("\\e");
        default:
            break;
    }
    return c < 0x80 ? QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'))
                    : QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
}

}  // namespace

QString printable(const QString& text, LineBreaks lineBreaks) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool kept = code == u'\t' || (code == u'\n' && lineBreaks == LineBreaks::Kept);
        if (isControl(code) && !kept) {
            shown += escapeOf(code);
        } else {
            shown += c;
        }
    }
    return shown;
}

QString htmlEscaped(const QString& text) {
    // Quotes stay as they are: outside a tag they are plain text in Markdown.
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    escaped.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    escaped.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return escaped;
}

}  // namespace ks::cli
