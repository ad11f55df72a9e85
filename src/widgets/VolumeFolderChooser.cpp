#include "widgets/VolumeFolderChooser.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/Dialogs.h"
#include "widgets/Controls.h"
#include "widgets/VolumeBox.h"

namespace ks {

namespace {

constexpr int kLeastCharactersWide = 30;

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

DriveFacts volumeOf(const QString& path) {
    const QStorageInfo storage(path);
    const QString root = storage.isValid() ? storage.rootPath() : QStringLiteral("/");
    return {root, storage.displayName(), storage.isValid() ? storage.bytesAvailable() : 0};
}

// A typed path as a folder path: "~" is the home folder, a relative path starts there.
QString typedFolder(const QString& text) {
    QString path = QDir::fromNativeSeparators(text);
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        path = QDir::homePath() + path.mid(1);
    }
    return QDir::cleanPath(QDir(QDir::homePath()).absoluteFilePath(path));
}

QString noSuchFolderMessage(const QString& folder) {
    return QStringLiteral("There is no folder %1.").arg(QDir::toNativeSeparators(folder));
}

}  // namespace

QString driveErrorMessage(const QString& drive, int error, const QString& description) {
    return QStringLiteral("An error occured trying to access drive: ") + drive +
           QStringLiteral("\r\rError reads:  ") + QString::number(error) + QStringLiteral(" - ") +
           description;
}

QString folderGoneMessage(const QString& folder) {
    return QStringLiteral("The folder %1 is no longer there.  Choose another folder.")
        .arg(QDir::toNativeSeparators(folder));
}

VolumeFolderChooser::VolumeFolderChooser(Dialogs& dialogs, const QString& title,
                                         const QString& driveName, const QString& folderName,
                                         QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), title_(title) {
    drives_ = new VolumeBox(this);
    drives_->setObjectName(driveName);
    keepNarrow(drives_);
    drives_->view()->setTextElideMode(Qt::ElideMiddle);
    free_ = new QLabel(this);
    free_->setObjectName(driveName + QStringLiteral("Free"));
    free_->setTextFormat(Qt::PlainText);
    free_->setWordWrap(true);
    path_ = new QLineEdit(this);
    path_->setObjectName(folderName + QStringLiteral("Path"));
    path_->installEventFilter(this);
    newFolder_ = makeButton(this, folderName + QStringLiteral("New"), tr("New Folder..."));
    buildTree(folderName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(drives_);
    layout->addWidget(free_);
    layout->addWidget(path_);
    layout->addWidget(folders_, 1);
    layout->addWidget(newFolder_, 0, Qt::AlignLeft);
    // Wide enough for a volume's place and a few levels of folder names.
    setMinimumWidth(fontMetrics().averageCharWidth() * kLeastCharactersWide);

    showLater_.setSingleShot(true);
    showLater_.setInterval(0);
    connect(&showLater_, &QTimer::timeout, this, &VolumeFolderChooser::showChoice);
    connect(drives_, &QComboBox::currentIndexChanged, this,
            [this] { free_->setText(drives_->currentFreeSpace()); });
    connect(drives_, &QComboBox::currentIndexChanged, this, &VolumeFolderChooser::driveChanged);
    connect(newFolder_, &QPushButton::clicked, this, &VolumeFolderChooser::makeNewFolder);
    refreshVolumes();
    setCurrentFolder(QDir::homePath());
}

VolumeFolderChooser::~VolumeFolderChooser() {
    // The model and its folder reading end before the icons they use (the tree lets go of a
    // model that goes).
    delete model_;
}

void VolumeFolderChooser::buildTree(const QString& folderName) {
    model_ = new QFileSystemModel(this);
    model_->setIconProvider(&icons_);
    model_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    // Connected before the tree's own selection handling, which moves the selection off a
    // folder that goes: that move must not count as the user's choice.
    connect(model_, &QFileSystemModel::rowsAboutToBeRemoved, this, [this] { removing_ = true; });
    connect(model_, &QFileSystemModel::rowsRemoved, this, [this] {
        removing_ = false;
        // Nothing stays marked that is not the choice (run once the tree has caught up).
        QTimer::singleShot(0, this, [this] {
            if (!QFileInfo(chosen_).isDir() && folders_->currentIndex().isValid()) {
                updating_ = true;
                folders_->setCurrentIndex(QModelIndex());
                folders_->clearSelection();
                updating_ = false;
            }
        });
    });
    folders_ = new QTreeView(this);
    folders_->setObjectName(folderName);
    folders_->setModel(model_);
    folders_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column) {
        folders_->hideColumn(column);
    }
    // A long folder name is scrolled to, never cut.
    folders_->header()->setStretchLastSection(false);
    folders_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    folders_->installEventFilter(this);
    folders_->viewport()->installEventFilter(this);
    connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &VolumeFolderChooser::treeCurrentChanged);
    // Folders are read in the background and move the rows about: the choice is kept marked
    // and in view.
    connect(model_, &QFileSystemModel::layoutChanged, this, &VolumeFolderChooser::showChoiceLater);
    connect(model_, &QFileSystemModel::rowsInserted, this, &VolumeFolderChooser::showChoiceLater);
    connect(model_, &QFileSystemModel::directoryLoaded, this,
            &VolumeFolderChooser::showChoiceLater);
    for (QScrollBar* bar : {folders_->verticalScrollBar(), folders_->horizontalScrollBar()}) {
        connect(bar, &QScrollBar::actionTriggered, this, [this] { following_ = false; });
    }
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
    return drives_->addVolume(volume);
}

int VolumeFolderChooser::indexOfRoot(const QString& root) const {
    return drives_->findData(root);
}

QString VolumeFolderChooser::currentFolder() const {
    return chosen_;
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
        following_ = true;
        showChoice();
    }
    choose(folder);
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
    updating_ = true;
    folders_->setRootIndex(model_->setRootPath(root));
    folders_->setCurrentIndex(QModelIndex());
    updating_ = false;
    return true;
}

void VolumeFolderChooser::driveChanged(int index) {
    if (updating_ || index < 0) {
        return;
    }
    following_ = false;
    int error = 0;
    if (!openVolume(drives_->itemData(index).toString(), error)) {
        fallBackToHome(drives_->itemText(index), error);
        return;
    }
    choose(root_);
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
    choose(home);
}

void VolumeFolderChooser::treeCurrentChanged(const QModelIndex& current) {
    if (updating_ || removing_) {
        return;
    }
    choose(current.isValid() ? model_->filePath(current) : root_);
}

void VolumeFolderChooser::choose(const QString& folder) {
    chosen_ = folder;
    path_->setText(QDir::toNativeSeparators(folder));
    path_->setToolTip(plainToolTip(path_->text()));
    path_->setModified(false);
    Q_EMIT currentFolderChanged(chosen_);
}

void VolumeFolderChooser::goToTypedPath() {
    const QString folder = typedFolder(path_->text());
    if (!QFileInfo(folder).isDir()) {
        // What was typed stays, to be put right.
        dialogs_.message(MessageIcon::Exclamation, title_, noSuchFolderMessage(folder));
        return;
    }
    setCurrentFolder(folder);
}

void VolumeFolderChooser::makeNewFolder() {
    const QString base = currentFolder();
    if (!QFileInfo(base).isDir()) {
        dialogs_.message(MessageIcon::Exclamation, title_, folderGoneMessage(base));
        return;
    }
    const std::optional<QString> name = dialogs_.inputText(
        title_, tr("Name of the new folder in %1:").arg(QDir::toNativeSeparators(base)), {});
    if (!name || name->isEmpty()) {
        return;
    }
    const QString path = QDir(base).filePath(*name);
    std::error_code error;
    const bool made = !name->contains(QLatin1Char('/')) && *name != QLatin1String(".") &&
                      *name != QLatin1String("..") &&
                      std::filesystem::create_directory(QFile::encodeName(path).constData(), error);
    if (!made) {
        const QString reason = error ? QString::fromLocal8Bit(error.message())
                                     : tr("That name is taken or cannot be a folder name.");
        dialogs_.message(
            MessageIcon::Exclamation, title_,
            tr("The folder %1 could not be made.").arg(*name) + QStringLiteral("\r\r") + reason);
        return;
    }
    setCurrentFolder(path);
}

void VolumeFolderChooser::showChoiceLater() {
    showLater_.start();
}

void VolumeFolderChooser::showChoice() {
    // The model drops and makes rows again as it reads folders: the choice stays marked.
    if (chosen_ != root_ && QFileInfo(chosen_).isDir() &&
        model_->filePath(folders_->currentIndex()) != chosen_) {
        updating_ = true;
        folders_->setCurrentIndex(model_->index(chosen_));
        updating_ = false;
    }
    const QModelIndex current = folders_->currentIndex();
    if (!following_ || !current.isValid()) {
        return;
    }
    folders_->scrollTo(current, QAbstractItemView::PositionAtCenter);
    // Sideways the tree starts at its left edge when the folder's name fits from there, else at
    // the folder's own line, never in the middle of a name.
    QScrollBar* sideways = folders_->horizontalScrollBar();
    const int start = sideways->value() + folders_->visualRect(current).left();
    const int width = folders_->fontMetrics().horizontalAdvance(model_->fileName(current)) +
                      folders_->style()->pixelMetric(QStyle::PM_SmallIconSize) +
                      folders_->indentation();
    sideways->setValue(
        start + width <= folders_->viewport()->width() ? 0 : start - folders_->indentation());
}

void VolumeFolderChooser::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showChoiceLater();  // a tree of another height centres the choice again
}

bool VolumeFolderChooser::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == path_ && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            goToTypedPath();
            return true;  // Enter here goes to the folder; it presses no button of the window
        }
    }
    // Once the user moves in the tree, it stays where the user put it.
    if ((watched == folders_ && type == QEvent::KeyPress) ||
        (watched == folders_->viewport() &&
         (type == QEvent::MouseButtonPress || type == QEvent::Wheel))) {
        following_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ks
