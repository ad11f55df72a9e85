#include "widgets/FolderTreeIcons.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyle>

namespace ks {

FolderTreeIcons::FolderTreeIcons()
    : folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      volume_(QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon)),
      file_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {
}

QIcon FolderTreeIcons::icon(IconType type) const {
    switch (type) {
        case Computer:
        case Drive:
        case Network:
            return volume_;
        case Desktop:
        case Folder:
            return folder_;
        case Trashcan:
        case File:
            return file_;
    }
    return file_;
}

QIcon FolderTreeIcons::icon(const QFileInfo& info) const {
    if (info.isRoot()) {
        return volume_;
    }
    return info.isDir() ? folder_ : file_;
}

QString FolderTreeIcons::type(const QFileInfo& info) const {
    if (info.isRoot()) {
        return QApplication::translate("QAbstractFileIconProvider", "Drive");
    }
    return info.isDir() ? QApplication::translate("QAbstractFileIconProvider", "Folder")
                        : QApplication::translate("QAbstractFileIconProvider", "File");
}

}  // namespace ks
