// mapRows(): the rows of a CSV file as records, under a column mapping and a format's rules.
#include <QSet>
#include <algorithm>
#include <optional>

#include "interchange/LabelledNotes.h"
#include "interchange/RecordFormats.h"
#include "vault/VaultNames.h"

namespace ks {

using namespace Qt::StringLiterals;

namespace {

// Columns that describe only the source tool's own bookkeeping: not carried into the notes.
QStringList ignoredColumns(CsvFormat format) {
    switch (format) {
        case CsvFormat::KeePassXC:
            return {u"icon"_s, u"last modified"_s, u"created"_s};
        case CsvFormat::Bitwarden:
            return {u"type"_s, u"reprompt"_s};
        case CsvFormat::Firefox:
            return {u"guid"_s, u"timecreated"_s, u"timelastused"_s, u"timepasswordchanged"_s};
        default:
            return {};
    }
}

QStringList pathParts(const QString& path) {
    return path.split(u'/', Qt::SkipEmptyParts);
}

QString lastPart(const QString& path) {
    const QStringList parts = pathParts(path);
    return parts.isEmpty() ? QString() : parts.last();
}

// What every row needs to know of the file.
struct FileRules {
    CsvFormat format = CsvFormat::Other;
    ColumnMapping mapping;
    const QStringList& header;
    QSet<int> ignored;            // column indexes left out of the notes
    std::optional<QString> root;  // KeePassXC: the root group every path starts with
    int typeColumn = -1;          // Bitwarden: the item type
};

// The first group of every path, when all rows share it (a KeePassXC export names its root
// group, whatever it is called, at the start of every path).
std::optional<QString> commonRoot(const CsvTable& table, int groupColumn) {
    if (groupColumn < 0) {
        return std::nullopt;
    }
    std::optional<QString> root;
    for (const CsvRow& row : table.rows) {
        const QString first = pathParts(row.fields[groupColumn]).value(0);
        if (root && *root != first) {
            return std::nullopt;
        }
        root = first;
    }
    return root;
}

// KeePassXC's group path without its root group; empty for the root itself.
QStringList groupsBelowRoot(const QString& path, const FileRules& rules) {
    QStringList parts = pathParts(path);
    if (!parts.isEmpty() &&
        (rules.root ? parts.first() == *rules.root
                    : parts.first().compare(u"root"_s, Qt::CaseInsensitive) == 0)) {
        parts.removeFirst();
    }
    return parts;
}

QString categoryOf(const QString& value, const FileRules& rules, bool& recycled) {
    QString category = value;
    if (rules.format == CsvFormat::KeePassXC) {
        const QStringList groups = groupsBelowRoot(value, rules);
        recycled = !groups.isEmpty() && groups.first() == u"Recycle Bin"_s;
        category = groups.isEmpty() ? QString() : groups.last();
    } else if (rules.format == CsvFormat::Bitwarden) {
        category = lastPart(value);
    }
    category.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ');  // one line
    return category.trimmed().isEmpty() ? unfiledCategory() : category;
}

// The notes: the file's own notes, then a block with the URL, the TOTP, the other columns and
// whatever labelled values the file's notes already ended with.
LabelledNotes notesOf(const CsvRow& row, const FileRules& rules) {
    const ColumnMapping& mapping = rules.mapping;
    const auto cell = [&](RecordPart part) {
        return mapping[part] < 0 ? QString() : row.fields[mapping[part]];
    };
    const LabelledNotes given = LabelledNotes::split(cell(RecordPart::Notes));
    LabelledNotes notes;
    notes.setNotes(given.notes());
    notes.set(notelabel::url(), cell(RecordPart::Url));
    notes.set(notelabel::totp(), cell(RecordPart::Totp));
    if (mapping.keepOtherColumns) {
        for (int column = 0; column < rules.header.size(); ++column) {
            const bool mapped = std::find(mapping.columns.cbegin(), mapping.columns.cend(),
                                          column) != mapping.columns.cend();
            if (!mapped && !rules.ignored.contains(column)) {
                notes.set(rules.header[column], row.fields[column]);
            }
        }
    }
    for (const auto& [label, value] : given.fields()) {
        if (notes.value(label).isEmpty()) {
            notes.set(label, value);
        }
    }
    return notes;
}

MappedRow mapRow(const CsvRow& row, const FileRules& rules) {
    const ColumnMapping& mapping = rules.mapping;
    const auto cell = [&](RecordPart part) {
        return mapping[part] < 0 ? QString() : row.fields[mapping[part]];
    };
    MappedRow out;
    out.line = row.line;
    out.title = cell(RecordPart::ShortName);
    PlainRecord& record = out.record;
    record.userName = cell(RecordPart::UserName);
    record.password = cell(RecordPart::Password);
    LabelledNotes notes = notesOf(row, rules);
    out.url = notes.value(notelabel::url());
    record.description = cell(RecordPart::Description);
    if (record.description.isEmpty()) {
        record.description = notes.take(notelabel::description());
    }
    bool recycled = false;
    record.category = categoryOf(cell(RecordPart::Category), rules, recycled);
    const QString whole = notes.value(notelabel::category());
    if (!whole.isEmpty() && lastPart(whole) == record.category) {
        record.category = notes.take(notelabel::category());
    }
    record.notes = notes.joined();

    const QString type = rules.typeColumn < 0 ? QString() : row.fields[rules.typeColumn].trimmed();
    if (rules.typeColumn >= 0 && type.compare(u"login"_s, Qt::CaseInsensitive) != 0 &&
        type.compare(u"note"_s, Qt::CaseInsensitive) != 0) {
        out.skip = SkipReason::NotALogin;
        out.skipDetail = type;
    } else if (recycled) {
        out.skip = SkipReason::RecycleBin;
    } else if (out.title.trimmed().isEmpty() && record.userName.isEmpty() &&
               record.password.isEmpty() && record.description.isEmpty() &&
               record.notes.isEmpty()) {
        out.skip = SkipReason::EmptyRow;
    }
    return out;
}

}  // namespace

QList<MappedRow> mapRows(const CsvTable& table, CsvFormat format, const ColumnMapping& mapping) {
    FileRules rules{format, mapping, table.header, {}, std::nullopt, -1};
    for (int& column : rules.mapping.columns) {
        if (column < 0 || column >= table.header.size()) {
            column = -1;  // a mapping made for another file
        }
    }
    const QStringList ignored = ignoredColumns(format);
    for (int column = 0; column < table.header.size(); ++column) {
        const QString name = table.header[column].toCaseFolded();
        if (ignored.contains(name)) {
            rules.ignored.insert(column);
        }
        if (format == CsvFormat::Bitwarden && name == u"type"_s) {
            rules.typeColumn = column;
        }
    }
    if (format == CsvFormat::KeePassXC) {
        rules.root = commonRoot(table, rules.mapping[RecordPart::Category]);
    }
    QList<MappedRow> rows;
    rows.reserve(table.rows.size());
    for (const CsvRow& row : table.rows) {
        rows.append(mapRow(row, rules));
    }
    return rows;
}

}  // namespace ks
