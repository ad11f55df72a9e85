#include "vault/CategoryRules.h"

#include "vault/VaultNames.h"

namespace ks {

CategoryFiling fileUnder(const QString& category, const QStringList& visibleCategories) {
    const QString trimmed = category.trimmed();
    if (trimmed.isEmpty() || isUnfiled(trimmed)) {
        return {unfiledCategory(), false};
    }
    const QString wanted = category.toUpper();
    for (const QString& known : visibleCategories) {
        if (known.toUpper() == wanted) {
            return {known, false};
        }
    }
    return {category, true};
}

QString categoryForNewRecord(const QString& filterText) {
    if (isAllRecords(filterText) || isUnfiled(filterText)) {
        return unfiledCategory();
    }
    return filterText;
}

int restoredFilterIndex(const QString& remembered, const QStringList& entries) {
    const qsizetype found = entries.indexOf(remembered);
    return found > 0 ? static_cast<int>(found) : 0;
}

}  // namespace ks
