#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "interchange/PlainRecord.h"
#include "interchange/RecordFormats.h"

namespace ks {

enum class PlanAction { New, Renamed, Skipped };

// Why an imported record has another short name than the file gave it (the first reason that
// applied; a name may also have been lengthened and then numbered).
enum class RenameReason {
    None,
    NoTitle,     // named from the web address's host, else the user name
    LineBreaks,  // line breaks or tabs in the title became spaces
    TooShort,    // 3 characters or fewer: " (imported)" was added
    Taken,       // the vault or an earlier row has the name: " (2)", " (3)"... was added
};

struct PlannedRow {
    int line = 0;
    PlanAction action = PlanAction::New;
    QString fileTitle;   // the title as the file gives it
    PlainRecord record;  // with its short name settled (skipped rows keep the file's values)
    RenameReason renamed = RenameReason::None;
    SkipReason skip = SkipReason::None;
    QString skipDetail;  // the Bitwarden item type of a NotALogin row
    int sameAsLine = 0;  // the earlier row a RepeatedInFile row repeats
};

struct PlanCounts {
    int created = 0;  // records that keep the file's title
    int renamed = 0;
    int skipped = 0;
};

// What an import will do, row by row, before anything is written: which records are new,
// which get another short name than the file gave (old -> new) and which are skipped, and why.
// Short names follow the vault's rules as a user would have to in the record editor: spaces
// around are dropped, a name must have more than 3 characters, and no two records may share a
// name in any letter case.
// - `takenNames` are the short names already in the vault (of every login: short names are
//   unique over the whole database);
// - `existing` are the records the importing user already has: a row equal to one of them in
//   every value (the short name and category in any letter case, the short name also without a
//   " (n)" that an earlier import added) is skipped, so importing the same file twice adds
//   nothing the second time; so is a row equal to an earlier row of the file.
class ImportPlan {
public:
    ImportPlan(const QList<MappedRow>& rows, const QStringList& takenNames,
               const QList<PlainRecord>& existing);

    const QList<PlannedRow>& rows() const { return rows_; }
    PlanCounts counts() const;
    // The records to write, in the file's order.
    QList<PlainRecord> records() const;

private:
    QList<PlannedRow> rows_;
};

// The short name the plan starts from for a row, before it is made unique: the title without
// line breaks and spaces around, else a name from the web address or the user name; lengthened
// when it is too short. `reason` says what changed.
QString baseShortName(const MappedRow& row, RenameReason& reason);

}  // namespace ks
