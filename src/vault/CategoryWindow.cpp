#include "vault/CategoryWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "vault/CategoryStore.h"
#include "vault/VaultFailure.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

CategoryWindow::CategoryWindow(Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(services.state.AppTitle + QStringLiteral(" - Manage Categories"));
    setWindowIcon(appIcon());
    setModal(true);

    lstCategories_ = new QListWidget(this);
    lstCategories_->setObjectName(QStringLiteral("lstCategories"));
    lstCategories_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    auto* cmdAdd = makeButton(this, QStringLiteral("cmdAdd"), QStringLiteral("Add"));
    auto* cmdDelete = makeButton(this, QStringLiteral("cmdDelete"), QStringLiteral("Delete"));
    auto* cmdSelectAll =
        makeButton(this, QStringLiteral("cmdSelectAll"), QStringLiteral("Select All"));
    auto* cmdNone = makeButton(this, QStringLiteral("cmdNone"), QStringLiteral("Select None"));
    auto* cmdRename = makeButton(this, QStringLiteral("cmdRename"), QStringLiteral("Rename"));
    auto* cmdClose = makeButton(this, QStringLiteral("cmdClose"), closeCaption());

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {cmdAdd, cmdDelete, cmdSelectAll, cmdNone, cmdRename}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lstCategories_, 1);
    layout->addLayout(buttons);
    resize(420, 320);

    connect(cmdAdd, &QPushButton::clicked, this, &CategoryWindow::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &CategoryWindow::cmdDelete_Click);
    connect(cmdSelectAll, &QPushButton::clicked, lstCategories_, &QListWidget::selectAll);
    connect(cmdNone, &QPushButton::clicked, lstCategories_, &QListWidget::clearSelection);
    // Renaming is not offered: the button does nothing.
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::hide);
}

void CategoryWindow::setCategories(const QStringList& categories) {
    lstCategories_->clear();
    addEntries(lstCategories_, categories);
}

void CategoryWindow::cmdAdd_Click() {
    const std::optional<QString> answer =
        services_.dialogs.inputText(QStringLiteral("Create New Category"),
                                    QStringLiteral("Please enter the new category name."), {});
    if (!answer || answer->trimmed().isEmpty()) {
        return;
    }
    const QString wanted = answer->toUpper();
    for (int i = 0; i < lstCategories_->count(); ++i) {
        if (lstCategories_->item(i)->text().toUpper() == wanted) {
            services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                      QStringLiteral("That category already exists."));
            return;
        }
    }
    if (DbStatus status = AddCategory(services_.database, services_.state.CurrentAccount, *answer);
        !status.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The category could not be added."),
                              status);
        return;
    }
    emit categoriesChanged();
}

void CategoryWindow::cmdDelete_Click() {
    QStringList chosen;
    for (int i = 0; i < lstCategories_->count(); ++i) {
        if (lstCategories_->item(i)->isSelected()) {
            chosen.append(lstCategories_->item(i)->text());
        }
    }
    for (const QString& name : chosen) {
        if (!services_.dialogs.askYesNo(
                services_.state.AppTitle,
                QStringLiteral("Are you sure you want to delete the category: ") + name +
                    QLatin1Char('?'))) {
            continue;
        }
        if (!deleteOne(name)) {
            break;
        }
    }
    emit categoriesChanged();
}

bool CategoryWindow::deleteOne(const QString& name) {
    const Result<CategoryDeletion> deletion = DeleteCategory(
        services_.database, services_.state.CurrentAccount, name, services_.state.History);
    if (!deletion.ok()) {
        reportDatabaseFailure(services_, QStringLiteral("The category could not be deleted."),
                              deletion.status());
        return false;
    }
    if (deletion.value().shared) {
        services_.dialogs.message(
            MessageIcon::Information, services_.state.AppTitle,
            QStringLiteral("WARNING: This is a global category.  You may not remove it."));
    } else if (deletion.value().categoriesDeleted > 0) {
        services_.state.DataDeleted = true;
    }
    return true;
}

void CategoryWindow::closeEvent(QCloseEvent* event) {
    if (services_.state.Quitting) {
        event->accept();
        return;
    }
    // The close box hides the window, as Close does.
    event->ignore();
    hide();
}

}  // namespace ks
