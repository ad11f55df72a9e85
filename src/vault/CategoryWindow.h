#pragma once

#include <QDialog>

#include "core/Services.h"

class QListWidget;

namespace ks {

// The category manager `Form5`, shown modally: adds own categories, deletes selected
// ones (a question each; shared ones are refused), selects all or none.
class CategoryWindow : public QDialog {
    Q_OBJECT
public:
    CategoryWindow(Services& services, QWidget* parent);

    // The window's part of filling the category lists.
    void setCategories(const QStringList& categories);

Q_SIGNALS:
    // Categories were added or deleted: every category list is to be refilled.
    void categoriesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdAdd_Click();
    void cmdDelete_Click();
    // Deletes one category after its question; false when the database failed.
    bool deleteOne(const QString& name);

    Services& services_;
    QListWidget* lstCategories_;
};

}  // namespace ks
