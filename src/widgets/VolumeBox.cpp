#include "widgets/VolumeBox.h"

#include <QLocale>
#include <QStandardItemModel>

namespace ks {

namespace {

constexpr int kPlaceRole = Qt::UserRole + 1;
constexpr int kFreeSpaceRole = Qt::UserRole + 2;

QString placeText(const DriveFacts& volume) {
    if (volume.name.isEmpty() || volume.name == volume.rootPath) {
        return volume.rootPath;
    }
    return QStringLiteral("%1 [%2]").arg(volume.rootPath, volume.name);
}

QString freeSpaceText(const DriveFacts& volume) {
    return QStringLiteral("%1 free").arg(QLocale().formattedDataSize(volume.FreeSpace));
}

}  // namespace

int VolumeBox::addVolume(const DriveFacts& volume) {
    // The entry is whole before it is added: adding the first one makes it the current one.
    auto* entry =
        new QStandardItem(QStringLiteral("%1  (%2)").arg(placeText(volume), freeSpaceText(volume)));
    entry->setData(volume.rootPath, Qt::UserRole);
    entry->setData(placeText(volume), kPlaceRole);
    entry->setData(freeSpaceText(volume), kFreeSpaceRole);
    static_cast<QStandardItemModel*>(model())->appendRow(entry);
    return count() - 1;
}

QString VolumeBox::currentFreeSpace() const {
    return currentData(kFreeSpaceRole).toString();
}

QString VolumeBox::shownText(const QString& /*currentText*/) const {
    return currentData(kPlaceRole).toString();
}

}  // namespace ks
