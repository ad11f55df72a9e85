#include "core/DatabaseTexts.h"

namespace ks {

QString describeDatabaseStatus(const DbStatus& status) {
    switch (status.code) {
        case DbCode::Ok:
            return QStringLiteral("No error.");
        case DbCode::CannotOpen:
            return QStringLiteral("The database file could not be opened.");
        case DbCode::NotADatabase:
            return QStringLiteral(
                "The database file is damaged or is not a database of this program.");
        case DbCode::MissingTables:
            return QStringLiteral("The database file is not a database of this program.");
        case DbCode::NeedsUpgrade:
            return QStringLiteral(
                "The database was written by an older version of this program and must be "
                "brought up to date first.");
        case DbCode::Unusable:
            return QStringLiteral(
                "The database holds data this version of the program cannot "
                "keep as it is.");
        case DbCode::Busy:
            return QStringLiteral("The database is in use by another program.");
        case DbCode::DiskFull:
            return QStringLiteral("The disk is full.");
        case DbCode::ReadOnly:
            return QStringLiteral("The database cannot be written to.");
        case DbCode::IoError:
            return QStringLiteral("The database file could not be read or written.");
        case DbCode::Closed:
            return QStringLiteral("The database was closed during the operation.");
        case DbCode::Cancelled:
            return QStringLiteral("The operation was cancelled; nothing was changed.");
        case DbCode::Failed:
            break;
    }
    return QStringLiteral("The database reported an error.");
}

QString describeDatabaseFailure(const DbStatus& status) {
    QString text = describeDatabaseStatus(status);
    if (!status.detail.isEmpty()) {
        text += QStringLiteral("\r\r(%1)").arg(status.detail);
    }
    return text;
}

QString describeCompactionStep(CompactionStep step) {
    switch (step) {
        case CompactionStep::DiscardLeftover:
            return QStringLiteral("removing the copy left over from an earlier compaction");
        case CompactionStep::Open:
            return QStringLiteral("opening the database for compaction");
        case CompactionStep::Vacuum:
            return QStringLiteral("compacting the database");
        case CompactionStep::Verify:
            return QStringLiteral("checking the compacted database");
    }
    return {};
}

QString describeCompaction(const CompactionOutcome& outcome) {
    if (outcome.ok) {
        return QStringLiteral("The database was compacted.");
    }
    QString text =
        QStringLiteral(
            "The database could not be compacted (failed while %1). It has been left "
            "as it was.\r\r%2")
            .arg(describeCompactionStep(outcome.failedAt), describeDatabaseStatus(outcome.status));
    if (!outcome.status.detail.isEmpty()) {
        text += QStringLiteral("\r(%1)").arg(outcome.status.detail);
    }
    return text;
}

}  // namespace ks
