#include "files/FilesPage.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "widgets/Captions.h"
#include "widgets/Icons.h"

namespace ks {

FilesPage::FilesPage(QWidget* parent) : QWidget(parent) {
    auto* caption = new QLabel(filesCaption(), this);
    caption->setObjectName(QStringLiteral("Label18"));
    auto* lvFiles = new QTreeWidget(this);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    lvFiles->setRootIsDecorated(false);
    lvFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFiles->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size"),
                              QStringLiteral("Compressed Size"), QStringLiteral("Date Modified")});
    caption->setBuddy(lvFiles);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(lvFiles);

    // The file store is not built yet: its buttons are shown but cannot be used.
    panel_ = makeButtonPanel(
        QStringLiteral("pctFiles"),
        {
            {"cmdFileNew", "document-import", "checkin", tr("Check in a file")},
            {"cmdOpenFile", "system-run", "launch", tr("Launch the file")},
            {"cmdFileDelete", "edit-delete", "delete", tr("Delete the files")},
            {"cmdFileCheckOut", "document-export", "checkout", tr("Check out files")},
        });
    for (auto* button : panel_->findChildren<QPushButton*>()) {
        button->setEnabled(false);
    }
    auto* toDelete = new QListWidget(panel_);
    toDelete->setObjectName(QStringLiteral("lstFilesToDelete"));
    toDelete->hide();
}

}  // namespace ks
