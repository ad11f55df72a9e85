#include "interchange/ImportPlan.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include "vault/VaultNames.h"

namespace ks {

using namespace Qt::StringLiterals;

namespace {

// A short name needs more than this many characters (trimmed), as in the record editor.
constexpr int kLongestRefusedShortName = 3;

// How the vault compares short names: spaces around and letter case do not count.
QString nameKey(const QString& name) {
    return name.trimmed().toUpper();
}

// The host of the first web address in `url`, without "www.".
QString hostOf(const QString& url) {
    const QString first = url.section(u',', 0, 0).trimmed();
    QString host = QUrl::fromUserInput(first).host();
    if (host.startsWith(u"www."_s, Qt::CaseInsensitive)) {
        host = host.mid(4);
    }
    return host;
}

QString withoutLineBreaks(QString text) {
    return text.replace(u'\r', u' ').replace(u'\n', u' ').replace(u'\t', u' ').trimmed();
}

// Everything a duplicate must equal, the short name given apart.
QString valuesKey(const PlainRecord& record) {
    const QString category =
        isUnfiled(record.category.trimmed()) || record.category.trimmed().isEmpty()
            ? unfiledCategory().toUpper()
            : record.category.trimmed().toUpper();
    return QStringList{record.userName, record.password, record.description, record.notes, category}
        .join(QChar(0x1F));
}

QString numberedSuffixRemoved(const QString& name) {
    static const QRegularExpression suffix(u" \\(\\d+\\)$"_s);
    QString bare = name.trimmed();
    return bare.remove(suffix);
}

}  // namespace

QString baseShortName(const MappedRow& row, RenameReason& reason) {
    reason = RenameReason::None;
    QString name = withoutLineBreaks(row.title);
    if (name != row.title.trimmed()) {
        reason = RenameReason::LineBreaks;
    }
    if (name.isEmpty()) {
        reason = RenameReason::NoTitle;
        name = hostOf(row.url);
        if (name.isEmpty()) {
            name = withoutLineBreaks(row.record.userName);
        }
        if (name.isEmpty()) {
            name = u"Imported record"_s;
        }
    }
    if (name.size() <= kLongestRefusedShortName) {
        if (reason == RenameReason::None) {
            reason = RenameReason::TooShort;
        }
        name += u" (imported)"_s;
    }
    return name;
}

ImportPlan::ImportPlan(const QList<MappedRow>& rows, const QStringList& takenNames,
                       const QList<PlainRecord>& existing) {
    QSet<QString> taken;
    for (const QString& name : takenNames) {
        taken.insert(nameKey(name));
    }
    QSet<QString> inVault;
    for (const PlainRecord& record : existing) {
        inVault.insert(nameKey(record.shortName) + valuesKey(record));
        inVault.insert(nameKey(numberedSuffixRemoved(record.shortName)) + valuesKey(record));
    }
    rows_.reserve(rows.size());
    QHash<QString, int> seen;        // rows of the file so far -> their line
    QHash<QString, int> nextNumber;  // a name -> the first " (n)" not yet tried for it
    for (const MappedRow& row : rows) {
        PlannedRow planned{row.line, PlanAction::Skipped, row.title, row.record, RenameReason::None,
                           row.skip, row.skipDetail,      0};
        if (row.skip == SkipReason::None) {
            const QString base = baseShortName(row, planned.renamed);
            const QString key = nameKey(base) + valuesKey(row.record);
            if (inVault.contains(key)) {
                planned.skip = SkipReason::InVault;
            } else if (seen.contains(key)) {
                planned.skip = SkipReason::RepeatedInFile;
                planned.sameAsLine = seen.value(key);
            } else {
                seen.insert(key, row.line);
                QString name = base;
                int& next = nextNumber[nameKey(base)];  // numbers tried before for this name
                for (next = qMax(next, 2); taken.contains(nameKey(name)); ++next) {
                    name = u"%1 (%2)"_s.arg(base).arg(next);
                }
                if (name != base && planned.renamed == RenameReason::None) {
                    planned.renamed = RenameReason::Taken;
                }
                taken.insert(nameKey(name));
                planned.record.shortName = name;
                planned.action =
                    planned.renamed == RenameReason::None ? PlanAction::New : PlanAction::Renamed;
            }
        }
        rows_.append(planned);
    }
}

PlanCounts ImportPlan::counts() const {
    PlanCounts counts;
    for (const PlannedRow& row : rows_) {
        switch (row.action) {
            case PlanAction::New:
                ++counts.created;
                break;
            case PlanAction::Renamed:
                ++counts.renamed;
                break;
            case PlanAction::Skipped:
                ++counts.skipped;
                break;
        }
    }
    return counts;
}

QList<PlainRecord> ImportPlan::records() const {
    QList<PlainRecord> records;
    for (const PlannedRow& row : rows_) {
        if (row.action != PlanAction::Skipped) {
            records.append(row.record);
        }
    }
    return records;
}

}  // namespace ks
