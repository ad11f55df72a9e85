#include "widgets/VolumeFolderChooser.h"

#include <unistd.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "core/Dialogs.h"

namespace ks {

namespace {

// Mount points of the system's own pseudo file systems, never a place for the user's files.
bool isSystemMount(const QString& root) {
    static const QStringList hidden = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                       QStringLiteral("/dev"), QStringLiteral("/run")};
    for (const QString& prefix : hidden) {
        if (root == prefix || root.startsWith(prefix + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

QString volumeText(const DriveFacts& volume) {
    const QString free = QLocale().formattedDataSize(volume.FreeSpace);
    if (volume.name.isEmpty() || volume.name == volume.rootPath) {
        return QStringLiteral("%1  (%2 free)").arg(volume.rootPath, free);
    }
    return QStringLiteral("%1 [%2]  (%3 free)").arg(volume.rootPath, volume.name, free);
}

DriveFacts volumeOf(const QString& path) {
    const QStorageInfo storage(path);
    const QString root = storage.isValid() ? storage.rootPath() : QStringLiteral("/");
    return {root, storage.displayName(), storage.isValid() ? storage.bytesAvailable() : 0};
}

}  // namespace

QString driveErrorMessage(const QString& drive, int error, const QString& description) {
    return QStringLiteral("An error occured trying to access drive: ") + drive +
           QStringLiteral("\r\rError reads:  ") + QString::number(error) + QStringLiteral(" - ") +
           description;
}

VolumeFolderChooser::VolumeFolderChooser(Dialogs& dialogs, const QString& title,
                                         const QString& driveName, const QString& folderName,
                                         QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), title_(title) {
    drives_ = new QComboBox(this);
    drives_->setObjectName(driveName);
    drives_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    drives_->setMinimumContentsLength(16);
    path_ = new QLabel(this);
    path_->setObjectName(folderName + QStringLiteral("Path"));
    path_->setTextFormat(Qt::PlainText);
    // A long path is shortened, never widening the window.
    path_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    folders_ = new QTreeView(this);
    folders_->setObjectName(folderName);
    folders_->setModel(model_);
    folders_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column) {
        folders_->hideColumn(column);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(drives_);
    layout->addWidget(path_);
    layout->addWidget(folders_, 1);

    connect(drives_, &QComboBox::currentIndexChanged, this, &VolumeFolderChooser::driveChanged);
    connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &VolumeFolderChooser::showFolder);
    // Folders are read in the background; the chosen one can be scrolled to once they are in.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QModelIndex current = folders_->currentIndex();
        if (scrollPending_ && current.isValid() && model_->filePath(current.parent()) == loaded) {
            scrollPending_ = false;
            folders_->scrollTo(current, QAbstractItemView::PositionAtCenter);
        }
    });
    refreshVolumes();
    setCurrentFolder(QDir::homePath());
}

void VolumeFolderChooser::refreshVolumes() {
    QList<DriveFacts> volumes;
    for (const DriveFacts& volume : FileServices::mountedDrives()) {
        if (!isSystemMount(volume.rootPath)) {
            volumes.append(volume);
        }
    }
    setVolumes(volumes);
}

void VolumeFolderChooser::setVolumes(const QList<DriveFacts>& volumes) {
    const QString keep = currentFolder();
    updating_ = true;
    drives_->clear();
    for (const DriveFacts& volume : volumes) {
        addVolume(volume);
    }
    updating_ = false;
    if (!keep.isEmpty()) {
        setCurrentFolder(keep);
    }
}

int VolumeFolderChooser::addVolume(const DriveFacts& volume) {
    drives_->addItem(volumeText(volume), volume.rootPath);
    return drives_->count() - 1;
}

int VolumeFolderChooser::indexOfRoot(const QString& root) const {
    return drives_->findData(root);
}

QString VolumeFolderChooser::currentFolder() const {
    const QModelIndex current = folders_->currentIndex();
    if (current.isValid()) {
        return model_->filePath(current);
    }
    return root_;
}

void VolumeFolderChooser::setCurrentFolder(const QString& path) {
    const QString folder = QDir(path).absolutePath();
    const DriveFacts volume = volumeOf(folder);
    const int index = selectVolume(volume);
    int error = 0;
    if (!openVolume(volume.rootPath, error)) {
        fallBackToHome(drives_->itemText(index), error);
        return;
    }
    if (folder != root_) {
        folders_->setCurrentIndex(model_->index(folder));
        folders_->scrollTo(folders_->currentIndex(), QAbstractItemView::PositionAtCenter);
        scrollPending_ = true;
    }
    showFolder();
}

int VolumeFolderChooser::selectVolume(const DriveFacts& volume) {
    int index = indexOfRoot(volume.rootPath);
    updating_ = true;
    if (index < 0) {
        index = addVolume(volume);
    }
    drives_->setCurrentIndex(index);
    updating_ = false;
    return index;
}

bool VolumeFolderChooser::openVolume(const QString& root, int& error) {
    const QStorageInfo storage(root);
    if (::access(QFile::encodeName(root).constData(), R_OK | X_OK) != 0) {
        error = errno;
        return false;
    }
    if (!storage.isValid() || !storage.isReady()) {
        error = ENODEV;
        return false;
    }
    root_ = root;
    folders_->setRootIndex(model_->setRootPath(root));
    folders_->setCurrentIndex(QModelIndex());
    return true;
}

void VolumeFolderChooser::driveChanged(int index) {
    if (updating_ || index < 0) {
        return;
    }
    scrollPending_ = false;
    int error = 0;
    if (!openVolume(drives_->itemData(index).toString(), error)) {
        fallBackToHome(drives_->itemText(index), error);
        return;
    }
    showFolder();
}

void VolumeFolderChooser::fallBackToHome(const QString& failedText, int error) {
    dialogs_.message(
        MessageIcon::Critical, title_,
        driveErrorMessage(failedText, error, QString::fromLocal8Bit(std::strerror(error))));
    const QString home = QDir::homePath();
    const DriveFacts volume = volumeOf(home);
    selectVolume(volume);
    int ignored = 0;
    if (openVolume(volume.rootPath, ignored) && home != root_) {
        folders_->setCurrentIndex(model_->index(home));
    }
    showFolder();
}

void VolumeFolderChooser::showFolder() {
    showPath();
    Q_EMIT currentFolderChanged(currentFolder());
}

void VolumeFolderChooser::showPath() {
    const QString folder = currentFolder();
    path_->setToolTip(folder);
    path_->setText(path_->fontMetrics().elidedText(folder, Qt::ElideMiddle, path_->width()));
}

void VolumeFolderChooser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showPath();
}

}  // namespace ks
