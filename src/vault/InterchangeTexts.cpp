#include "vault/InterchangeTexts.h"

#include "core/DatabaseTexts.h"

namespace ks {

using namespace Qt::StringLiterals;

namespace {

// How many renamed records the question names one by one.
constexpr int kRenamedShown = 8;

QString nothingWritten() {
    return u"Nothing was imported."_s;
}

QString skipReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::EmptyRow:
            return u"empty"_s;
        case SkipReason::NotALogin:
            return u"not a login"_s;
        case SkipReason::RecycleBin:
            return u"in the recycle bin"_s;
        case SkipReason::InVault:
            return u"already in the vault"_s;
        case SkipReason::RepeatedInFile:
            return u"repeated in the file"_s;
        case SkipReason::None:
            break;
    }
    return {};
}

QString skippedSummary(const ImportPlan& plan) {
    QMap<int, int> byReason;
    for (const PlannedRow& row : plan.rows()) {
        if (row.action == PlanAction::Skipped) {
            ++byReason[static_cast<int>(row.skip)];
        }
    }
    QStringList parts;
    for (auto it = byReason.cbegin(); it != byReason.cend(); ++it) {
        parts.append(u"%1 %2"_s.arg(it.value()).arg(skipReasonText(SkipReason(it.key()))));
    }
    return parts.join(u", "_s);
}

QString renamedList(const ImportPlan& plan) {
    QStringList lines;
    int renamed = 0;
    for (const PlannedRow& row : plan.rows()) {
        if (row.action != PlanAction::Renamed) {
            continue;
        }
        if (++renamed <= kRenamedShown) {
            const QString from = row.fileTitle.trimmed().isEmpty()
                                     ? u"(no title, line %1)"_s.arg(row.line)
                                     : row.fileTitle.left(80);
            lines.append(u"  %1 -> %2"_s.arg(from, row.record.shortName.left(80)));
        }
    }
    if (renamed > kRenamedShown) {
        lines.append(u"  and %1 more"_s.arg(renamed - kRenamedShown));
    }
    return lines.join(u'\r');
}

// The line of the file that the batch's record `index` came from.
int lineOfRecord(const ImportPlan& plan, int index) {
    for (const PlannedRow& row : plan.rows()) {
        if (row.action != PlanAction::Skipped && index-- == 0) {
            return row.line;
        }
    }
    return 0;
}

}  // namespace

QString csvRefusedText(const QString& fileName, const CsvError& error) {
    return u"The file %1 cannot be imported.\r\r%2\r\r"_s.arg(fileName, error.message) +
           nothingWritten();
}

QString importCountsText(const PlanCounts& counts) {
    return u"%1 new, %2 renamed, %3 skipped"_s.arg(counts.created)
        .arg(counts.renamed)
        .arg(counts.skipped);
}

QString importQuestionText(const QString& fileName, CsvFormat format, const ImportPlan& plan) {
    const PlanCounts counts = plan.counts();
    QString text = u"%1 (%2): %3."_s.arg(fileName, formatName(format), importCountsText(counts));
    if (counts.renamed > 0) {
        text +=
            u"\r\rRenamed, as their short names are taken or too short:\r"_s + renamedList(plan);
    }
    if (counts.skipped > 0) {
        text += u"\r\rSkipped: "_s + skippedSummary(plan) + u'.';
    }
    return text + u"\r\rA copy of the database is kept in Backups first. Import %1 records?"_s.arg(
                      counts.created + counts.renamed);
}

QString nothingToImportText(const QString& fileName, const ImportPlan& plan) {
    return u"The file %1 holds no record to import (%2: %3).\r\r"_s.arg(
               fileName, importCountsText(plan.counts()), skippedSummary(plan)) +
           nothingWritten();
}

QString importDoneText(const ImportPlan& plan, const RecordImportOutcome& outcome) {
    QString text = u"Imported %1 records (%2)."_s.arg(outcome.saved.created)
                       .arg(importCountsText(plan.counts()));
    if (!outcome.saved.categoriesAdded.isEmpty()) {
        text += u" New categories: %1."_s.arg(outcome.saved.categoriesAdded.size());
    }
    return text;
}

QString importFailedText(const ImportPlan& plan, const RecordImportOutcome& outcome) {
    if (!outcome.backupStatus.ok()) {
        return u"No copy of the database could be kept in Backups, so nothing was imported."_s +
               describeDatabaseFailure(outcome.backupStatus);
    }
    const BatchSaveResult& saved = outcome.saved;
    const QString line = u"The record of line %1"_s.arg(lineOfRecord(plan, saved.refusedAt));
    switch (saved.outcome) {
        case SaveOutcome::ShortNameBlank:
        case SaveOutcome::ShortNameTooShort:
            return line + u" has no short name of more than 3 characters. "_s + nothingWritten();
        case SaveOutcome::ShortNameInUse:
            return line + u" has a short name that was taken meanwhile. "_s + nothingWritten();
        case SaveOutcome::NotEncrypted:
            return line + u" could not be encrypted. "_s + nothingWritten();
        case SaveOutcome::Saved:
        case SaveOutcome::NotFound:
        case SaveOutcome::VersionDamaged:
        case SaveOutcome::DatabaseFailed:
            break;
    }
    return u"The records could not be written. "_s + nothingWritten() +
           describeDatabaseFailure(saved.status);
}

QString exportWarningText() {
    return u"The file will hold your records with their passwords in clear text: anyone who can "
           "read it can read them. Keep it somewhere safe and delete it once you no longer "
           "need it.\r\rExport your records?"_s;
}

QString exportDoneText(int records, const QString& path) {
    return u"Exported %1 records to %2."_s.arg(records).arg(path);
}

QString exportFailedText(const RecordExportOutcome& outcome) {
    if (!outcome.status.ok()) {
        return u"The records could not be read."_s + describeDatabaseFailure(outcome.status);
    }
    return u"The file could not be written: %1"_s.arg(outcome.written.error);
}

}  // namespace ks
