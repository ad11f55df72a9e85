#include "images/ImagesPage.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/FailureReport.h"
#include "images/ImageStore.h"
#include "images/ImageTexts.h"
#include "images/PictureDecoder.h"
#include "widgets/Captions.h"
#include "widgets/Controls.h"
#include "widgets/Icons.h"

namespace ks {

namespace {

constexpr int kCounterRole = Qt::UserRole;
constexpr QSize kPreviewMinimum(240, 180);

}  // namespace

ImagesPage::ImagesPage(Services& services, QWidget* parent) : QWidget(parent), services_(services) {
    buildControls();
}

ImagesPage::~ImagesPage() {
    // The panel normally lives beside the tabs in the main window; otherwise it is ours.
    if (panel_ && panel_->parent() == nullptr) {
        delete panel_.data();
    }
}

void ImagesPage::buildControls() {
    auto* label11 = new QLabel(imagesCaption(), this);
    label11->setObjectName(QStringLiteral("Label11"));
    lstImages_ = new QListWidget(this);
    lstImages_->setObjectName(QStringLiteral("lstImages"));
    lstImages_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A long name is shortened in the middle; its tooltip gives it whole.
    lstImages_->setTextElideMode(Qt::ElideMiddle);
    lstImages_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    label11->setBuddy(lstImages_);
    auto* label13 = new QLabel(QStringLiteral("Preview"), this);
    label13->setObjectName(QStringLiteral("Label13"));
    imgPreview_ = new QLabel(this);
    imgPreview_->setObjectName(QStringLiteral("imgPreview"));
    imgPreview_->setAlignment(Qt::AlignCenter);
    imgPreview_->setFrameShape(QFrame::StyledPanel);
    imgPreview_->setMinimumSize(kPreviewMinimum);
    // The picture follows the box, never the other way round.
    imgPreview_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    imgPreview_->installEventFilter(this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label11, 0, 0);
    layout->addWidget(lstImages_, 1, 0);
    layout->addWidget(label13, 0, 1);
    layout->addWidget(imgPreview_, 1, 1);
    layout->setColumnStretch(0, 2);
    layout->setColumnStretch(1, 3);

    panel_ = makeButtonPanel(
        QStringLiteral("pctImages"),
        {
            {"cmdIMGNew", "document-import", "checkin", tr("Check in a picture")},
            {"cmdIMGView", "zoom-fit-best", "view", tr("View the picture")},
            {"cmdIMGDelete", "edit-delete", "delete", tr("Delete the pictures")},
            {"cmdIMGCheckOut", "document-export", "checkout", tr("Check out pictures")},
        });
    lstIMGToDelete_ = new QListWidget(panel_);
    lstIMGToDelete_->setObjectName(QStringLiteral("lstIMGToDelete"));
    lstIMGToDelete_->hide();

    const auto onClick = [this](const char* name, void (ImagesPage::*handler)()) {
        connect(panel_->findChild<QPushButton*>(QString::fromLatin1(name)), &QPushButton::clicked,
                this, handler);
    };
    onClick("cmdIMGNew", &ImagesPage::cmdIMGNew_Click);
    onClick("cmdIMGView", &ImagesPage::cmdIMGView_Click);
    onClick("cmdIMGDelete", &ImagesPage::cmdIMGDelete_Click);
    onClick("cmdIMGCheckOut", &ImagesPage::cmdIMGCheckOut_Click);
    connect(lstImages_, &QListWidget::itemSelectionChanged, this, &ImagesPage::lstImages_Click);
    connect(lstImages_, &QListWidget::itemDoubleClicked, this, &ImagesPage::lstImages_DblClick);
    lstImages_->installEventFilter(this);
}

bool ImagesPage::eventFilter(QObject* watched, QEvent* event) {
    // Delete in the list presses the tab's delete button, which asks first.
    if (watched == lstImages_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        panel_->findChild<QPushButton*>(QStringLiteral("cmdIMGDelete"))->click();
        return true;
    }
    // The preview follows the box's size.
    if (watched == imgPreview_ && event->type() == QEvent::Resize && !preview_.isNull()) {
        showPreview();
    }
    return QWidget::eventFilter(watched, event);
}

void ImagesPage::cmdIMGCheckOut_Click() {
    QList<qint64> selected;
    for (int i = 0; i < lstImages_->count(); ++i) {
        if (lstImages_->item(i)->isSelected()) {
            selected.append(lstImages_->item(i)->data(kCounterRole).toLongLong());
        }
    }
    Q_EMIT checkOutRequested(selected, lstImages_->count());
}

void ImagesPage::ListImages() {
    lstImages_->clear();
    Result<QList<ImageLine>> lines =
        ks::ListImages(services_.database, services_.state.CurrentAccount);
    if (!lines.ok()) {
        reportDatabaseFailure(services_, imagesNotListedMessage(), lines.status());
        return;
    }
    for (const ImageLine& line : lines.value()) {
        auto* item = new QListWidgetItem(oneLineText(line.name), lstImages_);
        item->setData(kCounterRole, line.counter);
        item->setToolTip(plainToolTip(item->text()));
    }
}

void ImagesPage::ShowImage(qint64 counter, bool previewOnly) {
    Result<StoredPicture> stored =
        readPicture(services_.database, services_.state.CurrentAccount, counter);
    if (!stored.ok()) {
        return;
    }
    if (stored.value().damaged) {
        // Never another picture's preview beside a picture that does not open.
        preview_ = QImage();
        imgPreview_->clear();
        if (!previewOnly) {
            services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                      pictureNotDecryptedMessage());
        }
        return;
    }
    std::optional<QByteArray>& bytes = stored.value().bytes;
    if (!bytes) {
        return;
    }
    QSize tooLarge;
    const QImage picture = decodePicture(*bytes, previewOnly ? previewBox() : QSize(), &tooLarge);
    bytes.reset();
    if (picture.isNull()) {
        // Only the viewer says why: a click in the list shows no message.
        if (!previewOnly && tooLarge.isValid()) {
            services_.dialogs.message(MessageIcon::Exclamation, services_.state.AppTitle,
                                      pictureTooLargeMessage(tooLarge));
        }
        return;
    }
    preview_ = fitted(picture, previewBox());
    showPreview();
    if (!previewOnly) {
        Q_EMIT viewPicture(picture);
    }
}

QSize ImagesPage::previewBox() const {
    return imgPreview_->contentsRect().size().expandedTo(kPreviewMinimum);
}

QImage ImagesPage::fitted(const QImage& picture, QSize box) {
    const QSize size = picture.size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return size == picture.size()
               ? picture
               : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ImagesPage::showPreview() {
    // The whole picture, as large as the box allows with its proportions, in the box's middle.
    const QImage shown = fitted(preview_, previewBox());
    imgPreview_->setPixmap(QPixmap::fromImage(shown));
}

std::optional<qint64> ImagesPage::currentSelected() const {
    QListWidgetItem* current = lstImages_->currentItem();
    if (lstImages_->selectedItems().isEmpty() || current == nullptr) {
        return std::nullopt;
    }
    return current->data(kCounterRole).toLongLong();
}

void ImagesPage::lstImages_Click() {
    if (const std::optional<qint64> counter = currentSelected()) {
        ShowImage(*counter, true);
    }
}

void ImagesPage::lstImages_DblClick() {
    if (const std::optional<qint64> counter = currentSelected()) {
        ShowImage(*counter, false);
    }
}

void ImagesPage::cmdIMGView_Click() {
    if (lstImages_->selectedItems().isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  selectImageToViewMessage());
        return;
    }
    lstImages_DblClick();
}

void ImagesPage::cmdIMGNew_Click() {
    const QStringList paths =
        services_.dialogs.openFiles(checkInDialogTitle(), checkInFilters(decodablePatterns()));
    if (paths.isEmpty()) {
        return;
    }
    const ImageCheckInResult result =
        AddImages(services_.database, services_.state.CurrentAccount, paths);
    if (result.failure) {
        if (!result.failure->path.isEmpty()) {
            services_.dialogs.message(
                MessageIcon::Critical, services_.state.AppTitle,
                checkInFileFailedMessage(result.failure->path, result.failure->fileError));
        } else {
            reportDatabaseFailure(services_, checkInNotStoredMessage(), result.failure->status);
        }
    }
    ListImages();
}

void ImagesPage::cmdIMGDelete_Click() {
    lstIMGToDelete_->clear();
    QStringList names;
    QList<qint64> counters;
    for (int row = 0; row < lstImages_->count(); ++row) {
        const QListWidgetItem* item = lstImages_->item(row);
        if (item->isSelected()) {
            const qint64 counter = item->data(kCounterRole).toLongLong();
            lstIMGToDelete_->addItem(QString::number(counter));
            counters.append(counter);
            names.append(item->text());
        }
    }
    if (counters.isEmpty()) {
        services_.dialogs.message(MessageIcon::Information, services_.state.AppTitle,
                                  selectImageToDeleteMessage());
        return;
    }
    if (!services_.dialogs.askYesNo(services_.state.AppTitle, deleteImagesQuestion(names))) {
        return;
    }
    const Result<int> removed =
        DeleteImages(services_.database, services_.state.CurrentAccount, counters);
    if (!removed.ok()) {
        reportDatabaseFailure(services_, imagesNotDeletedMessage(), removed.status());
    } else if (removed.value() > 0) {
        services_.state.DataDeleted = true;
    }
    ListImages();
}

}  // namespace ks
