#pragma once

#include <QList>
#include <QWidget>

#include "storage/FileServices.h"

class QComboBox;
class QFileSystemModel;
class QLabel;
class QTreeView;

namespace ks {

class Dialogs;

// A volume list above a folder tree, the pair with which the user picks a folder on any
// mounted volume (export and import of the database, check-out of stored items). The volume
// list shows each mounted volume with its free space; the tree shows only folders of the
// chosen volume. The current folder is the folder selected in the tree, or the volume's root
// when none is, and is shown above the tree.
//
// A volume that cannot be read is reported with a critical message and the chooser falls back
// to the volume of the home folder.
class VolumeFolderChooser : public QWidget {
    Q_OBJECT
public:
    // `driveName` and `folderName` are the objectNames of the volume list and the folder tree.
    VolumeFolderChooser(Dialogs& dialogs, const QString& title, const QString& driveName,
                        const QString& folderName, QWidget* parent = nullptr);

    QComboBox* driveList() const { return drives_; }
    QTreeView* folderList() const { return folders_; }

    // The current folder, an absolute path without a trailing "/" (but "/" itself).
    QString currentFolder() const;
    // Shows the volume holding `path` and selects `path` in the tree (it must be a folder).
    void setCurrentFolder(const QString& path);

    // Fills the volume list anew from the mounted volumes, keeping the current folder.
    void refreshVolumes();
    // Fills the volume list with these volumes (for tests and special callers).
    void setVolumes(const QList<DriveFacts>& volumes);

Q_SIGNALS:
    void currentFolderChanged(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void driveChanged(int index);
    // Opens a volume's root in the tree; false (and the error) when it cannot be read.
    bool openVolume(const QString& root, int& error);
    void fallBackToHome(const QString& failedText, int error);
    int indexOfRoot(const QString& root) const;
    int addVolume(const DriveFacts& volume);
    // Selects a volume in the list (adding it when it is not listed) without opening it.
    int selectVolume(const DriveFacts& volume);
    void showFolder();
    // Shows the current folder above the tree, shortened in the middle to the width there is.
    void showPath();

    Dialogs& dialogs_;
    QString title_;
    QComboBox* drives_;
    QTreeView* folders_;
    QLabel* path_;
    QFileSystemModel* model_;
    QString root_;
    bool updating_ = false;
    bool scrollPending_ = false;  // the tree shows the current folder once its folders are read
};

// The critical message of a volume that cannot be read.
QString driveErrorMessage(const QString& drive, int error, const QString& description);

}  // namespace ks
