#pragma once

#include <QString>

namespace ks {

// The filter entry that lists every record of the user, whatever its category.
inline QString allRecordsEntry() {
    return QStringLiteral("All Records");
}

// The built-in home of records without a category; it is never stored as a category.
inline QString unfiledCategory() {
    return QStringLiteral("Unfiled");
}

// Names of the filter compare in upper case, so "all records" means the same entry.
inline bool isAllRecords(const QString& text) {
    return text.toUpper() == allRecordsEntry().toUpper();
}

inline bool isUnfiled(const QString& text) {
    return text.toUpper() == unfiledCategory().toUpper();
}

}  // namespace ks
