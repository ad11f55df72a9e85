#pragma once

#include <QString>
#include <QStringList>

namespace ks {

// Where a record typed with `category` is filed, given the categories the user may use.
struct CategoryFiling {
    QString category;          // the text stored in the record's Category
    bool addCategory = false;  // the name is new: it becomes one of the user's categories
};

// Empty, blank or the unfiled name in any letter case files as unfiled. A name the user already
// has, in any letter case, files under that category as it is spelled in the list, so that the
// record shows under the category's filter. Any other name is stored as typed and becomes a new
// category of the user.
CategoryFiling fileUnder(const QString& category, const QStringList& visibleCategories);

// The category the editor proposes for a new record when the filter shows `filterText`.
QString categoryForNewRecord(const QString& filterText);

// The filter entry selected after the category lists are refilled: the entry of the remembered
// category (exact letter case) while it is still listed, wherever it now stands; otherwise the
// first entry (all records).
int restoredFilterIndex(const QString& remembered, const QStringList& entries);

}  // namespace ks
