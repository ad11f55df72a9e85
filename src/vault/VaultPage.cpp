#include "vault/VaultPage.h"

#include <QVBoxLayout>

#include "widgets/Icons.h"

namespace ks {

VaultPage::VaultPage(Services& services, QWidget* parent) : QWidget(parent), services_(services) {
    panel_ = new QWidget;
    panel_->setObjectName(QStringLiteral("pctLogins"));
    auto* buttons = new QVBoxLayout(panel_);
    buttons->addWidget(makePictureButton(
        panel_, QStringLiteral("cmdLoginsNew"),
        themedIcon(QStringLiteral("document-new"), QStringLiteral("new")), tr("New record")));
    buttons->addWidget(makePictureButton(
        panel_, QStringLiteral("cmdLoginsEdit"),
        themedIcon(QStringLiteral("document-edit"), QStringLiteral("edit")), tr("Edit record")));
    buttons->addWidget(makePictureButton(
        panel_, QStringLiteral("cmdLoginsDelete"),
        themedIcon(QStringLiteral("edit-delete"), QStringLiteral("delete")), tr("Delete record")));
}

void VaultPage::reloadLists() {
}

}  // namespace ks
