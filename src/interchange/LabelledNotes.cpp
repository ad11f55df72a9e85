#include "interchange/LabelledNotes.h"

#include <QStringList>

namespace ks {

namespace {

QString marker() {
    return QStringLiteral("--- More fields ---");
}

const QString kIndent = QStringLiteral("  ");

// "Label: value" (or "Label:" when the first line of the value is empty): the label, or empty.
QString labelOf(const QString& line) {
    const qsizetype colon = line.indexOf(u':');
    if (colon <= 0 || line.at(0).isSpace()) {
        return {};
    }
    if (colon + 1 < line.size() && line.at(colon + 1) != u' ') {
        return {};
    }
    return line.first(colon);
}

}  // namespace

bool LabelledNotes::parseBlock(const QStringList& lines) {
    int pendingEmpty = 0;  // empty lines that continue a value only if an indented line follows
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            ++pendingEmpty;
            continue;
        }
        if (line.startsWith(kIndent) && !fields_.isEmpty()) {
            QString& value = fields_.last().second;
            value += QString(u'\n').repeated(pendingEmpty) + u'\n' + line.mid(kIndent.size());
            pendingEmpty = 0;
            continue;
        }
        const QString label = labelOf(line);
        if (label.isEmpty()) {
            return false;
        }
        fields_.append({label, line.mid(label.size() + 2)});
        pendingEmpty = 0;
    }
    return !fields_.isEmpty();
}

LabelledNotes LabelledNotes::split(const QString& notes) {
    LabelledNotes result;
    result.notes_ = notes;
    const QStringList lines = notes.split(u'\n');
    const qsizetype at = lines.lastIndexOf(marker());
    if (at < 0 || !result.parseBlock(lines.mid(at + 1))) {
        result.fields_.clear();
        return result;
    }
    QString before = lines.first(at).join(u'\n');
    if (before.endsWith(u'\n')) {
        before.chop(1);  // the empty line between the notes and the block
    }
    result.notes_ = before;
    return result;
}

QString LabelledNotes::joined() const {
    if (fields_.isEmpty()) {
        return notes_;
    }
    QString text = notes_;
    if (!text.isEmpty()) {
        text += QStringLiteral("\n\n");
    }
    text += marker();
    for (const auto& [label, value] : fields_) {
        text += u'\n' + label + QStringLiteral(": ");
        text += QString(value).replace(u'\n', u'\n' + kIndent);
    }
    return text;
}

qsizetype LabelledNotes::find(const QString& label) const {
    for (qsizetype i = 0; i < fields_.size(); ++i) {
        if (fields_[i].first.compare(label, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QString LabelledNotes::value(const QString& label) const {
    const qsizetype at = find(label);
    return at < 0 ? QString() : fields_[at].second;
}

QString LabelledNotes::take(const QString& label) {
    const qsizetype at = find(label);
    return at < 0 ? QString() : fields_.takeAt(at).second;
}

void LabelledNotes::set(const QString& rawLabel, const QString& value) {
    QString label = rawLabel;
    label.replace(u':', u'-').replace(u'\r', u' ').replace(u'\n', u' ');
    label = label.trimmed();
    if (label.isEmpty()) {
        label = QStringLiteral("Field");
    }
    const qsizetype at = find(label);
    if (value.isEmpty()) {
        if (at >= 0) {
            fields_.removeAt(at);
        }
    } else if (at >= 0) {
        fields_[at].second = value;
    } else {
        fields_.append({label, value});
    }
}

}  // namespace ks
