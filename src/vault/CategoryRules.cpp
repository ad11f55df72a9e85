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

int restoredFilterIndex(int rememberedIndex, int entryCount) {
    if (rememberedIndex <= 0 || rememberedIndex > entryCount - 1) {
        return 0;
    }
    return rememberedIndex;
}

}  // namespace ks
