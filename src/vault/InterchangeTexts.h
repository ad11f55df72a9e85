#pragma once

#include <QString>

#include "interchange/CsvReader.h"
#include "interchange/ImportPlan.h"
#include "interchange/RecordFormats.h"
#include "vault/RecordInterchange.h"

namespace ks {

// What the window and the command line tell the user about importing and exporting records.
// Lines are joined with "\r", as in every message box.

// The file cannot be read as CSV: why, naming the line, and that nothing was written.
QString csvRefusedText(const QString& fileName, const CsvError& error);

// "12 new, 3 renamed, 4 skipped".
QString importCountsText(const PlanCounts& counts);

// The question before an import: the file's format, the counts, the first renamed records
// (old -> new) and the skipped ones with why.
QString importQuestionText(const QString& fileName, CsvFormat format, const ImportPlan& plan);

// The file holds nothing that would become a record.
QString nothingToImportText(const QString& fileName, const ImportPlan& plan);

// After a successful import.
QString importDoneText(const ImportPlan& plan, const RecordImportOutcome& outcome);

// Why an import wrote nothing.
QString importFailedText(const ImportPlan& plan, const RecordImportOutcome& outcome);

// The warning before an export, asked as a question.
QString exportWarningText();
QString exportDoneText(int records, const QString& path);
QString exportFailedText(const RecordExportOutcome& outcome);

}  // namespace ks
