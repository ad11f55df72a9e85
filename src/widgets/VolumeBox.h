#pragma once

#include <QComboBox>

#include "storage/FileServices.h"

namespace ks {

// The list of mounted volumes, each entry its place (mount point and label) and its free space.
// The box shows the chosen volume's place, a long one losing its start (the end names the
// volume best); its list shows every entry whole. The entry's data is the volume's root.
class VolumeBox final : public QComboBox {
public:
    using QComboBox::QComboBox;

    // Adds the volume at the end; its index.
    int addVolume(const DriveFacts& volume);
    // The chosen volume's free space in words ("12.5 GiB free").
    QString currentFreeSpace() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ks
