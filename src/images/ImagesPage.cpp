#include "images/ImagesPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/Captions.h"
#include "widgets/Icons.h"

namespace ks {

ImagesPage::ImagesPage(QWidget* parent) : QWidget(parent) {
    auto* label11 = new QLabel(imagesCaption(), this);
    label11->setObjectName(QStringLiteral("Label11"));
    auto* lstImages = new QListWidget(this);
    lstImages->setObjectName(QStringLiteral("lstImages"));
    lstImages->setSelectionMode(QAbstractItemView::ExtendedSelection);
    label11->setBuddy(lstImages);
    auto* label13 = new QLabel(QStringLiteral("Preview"), this);
    label13->setObjectName(QStringLiteral("Label13"));
    auto* imgPreview = new QLabel(this);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    imgPreview->setScaledContents(true);
    imgPreview->setFrameShape(QFrame::StyledPanel);
    imgPreview->setMinimumSize(240, 180);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label11, 0, 0);
    layout->addWidget(lstImages, 1, 0);
    layout->addWidget(label13, 0, 1);
    layout->addWidget(imgPreview, 1, 1);
    layout->setColumnStretch(1, 1);

    // The picture store is not built yet: its buttons are shown but cannot be used.
    panel_ = makeButtonPanel(
        QStringLiteral("pctImages"),
        {
            {"cmdIMGNew", "document-import", "checkin", tr("Check in a picture")},
            {"cmdIMGView", "zoom-fit-best", "view", tr("View the picture")},
            {"cmdIMGDelete", "edit-delete", "delete", tr("Delete the pictures")},
            {"cmdIMGCheckOut", "document-export", "checkout", tr("Check out pictures")},
        });
    for (auto* button : panel_->findChildren<QPushButton*>()) {
        button->setEnabled(false);
    }
    auto* toDelete = new QListWidget(panel_);
    toDelete->setObjectName(QStringLiteral("lstIMGToDelete"));
    toDelete->hide();
}

}  // namespace ks
