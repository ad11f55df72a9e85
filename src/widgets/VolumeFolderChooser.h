#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

#include "storage/FileServices.h"
#include "widgets/FolderTreeIcons.h"
#include "widgets/VolumeBox.h"

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace ks {

class Dialogs;

// A volume list above a folder tree, the pair with which the user picks a folder on any
// mounted volume (export and import of the database, check-out of stored items). The volume
// list shows each mounted volume with its free space (the chosen one's below the box); the tree
// shows only folders of the chosen volume. The chosen folder is shown whole in a path box above the
// tree, where a path can also be typed (Enter goes there); a button beside it makes a new folder in
// the chosen one.
//
// The choice is the user's: a folder chosen and then removed stays the choice (the tree's
// selection moving on to a neighbour never changes it), so whoever uses it finds it missing
// instead of writing somewhere else.
//
// A volume that cannot be read is reported with a critical message and the chooser falls back
// to the volume of the home folder.
class VolumeFolderChooser : public QWidget {
    Q_OBJECT
public:
    // `driveName` and `folderName` are the objectNames of the volume list and the folder tree;
    // the path box is `folderName` + "Path", the new-folder button `folderName` + "New".
    VolumeFolderChooser(Dialogs& dialogs, const QString& title, const QString& driveName,
                        const QString& folderName, QWidget* parent = nullptr);
    ~VolumeFolderChooser() override;

    QComboBox* driveList() const { return drives_; }
    QTreeView* folderList() const { return folders_; }
    QLineEdit* pathBox() const { return path_; }

    // The chosen folder, an absolute path without a trailing "/" (but "/" itself); it may have
    // gone since it was chosen.
    QString currentFolder() const;
    // Shows the volume holding `path` and selects `path` in the tree, scrolled into view once
    // its folders are read (it must be a folder).
    void setCurrentFolder(const QString& path);

    // Fills the volume list anew from the mounted volumes, keeping the current folder.
    void refreshVolumes();
    // Fills the volume list with these volumes (for tests and special callers).
    void setVolumes(const QList<DriveFacts>& volumes);

    // Asks for a name and makes that folder in the chosen one, which it then chooses.
    void makeNewFolder();

Q_SIGNALS:
    void currentFolderChanged(const QString& folder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildTree(const QString& folderName);
    void driveChanged(int index);
    // Opens a volume's root in the tree; false (and the error) when it cannot be read.
    bool openVolume(const QString& root, int& error);
    void fallBackToHome(const QString& failedText, int error);
    int indexOfRoot(const QString& root) const;
    int addVolume(const DriveFacts& volume);
    // Selects a volume in the list (adding it when it is not listed) without opening it.
    int selectVolume(const DriveFacts& volume);
    // The tree's selection moved to `current`: it is the choice, unless a folder is going.
    void treeCurrentChanged(const QModelIndex& current);
    // Takes the path typed into the path box: the tree goes there, or the user is told.
    void goToTypedPath();
    // Makes `folder` the choice and shows it in the path box.
    void choose(const QString& folder);
    // Keeps the chosen folder marked in the tree, and in view while the tree's folders are read
    // until the user moves there.
    void showChoiceLater();
    void showChoice();

    Dialogs& dialogs_;
    QString title_;
    VolumeBox* drives_;
    QLabel* free_;
    QTreeView* folders_;
    QLineEdit* path_;
    QPushButton* newFolder_;
    FolderTreeIcons icons_;  // the model's: it goes first
    QFileSystemModel* model_;
    QString root_;
    QString chosen_;
    QTimer showLater_;
    bool updating_ = false;
    bool removing_ = false;   // the model is taking rows away: selection moves are not choices
    bool following_ = false;  // the tree scrolls to the choice as folders come in
};

// The folder the user chose is no longer there.
QString folderGoneMessage(const QString& folder);

// The critical message of a volume that cannot be read.
QString driveErrorMessage(const QString& drive, int error, const QString& description);

}  // namespace ks
