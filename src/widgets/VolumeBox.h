#pragma once

#include "storage/FileServices.h"
#include "widgets/Controls.h"

namespace ks {

// The list of mounted volumes, each entry its place (mount point and label) and its free space.
// The box shows the chosen volume's place, a long one losing its start (the end names the
// volume best); its list shows every entry whole. The entry's data is the volume's root.
class VolumeBox final : public ElidedComboBox {
public:
    using ElidedComboBox::ElidedComboBox;

    // Adds the volume at the end; its index.
    int addVolume(const DriveFacts& volume);
    // The chosen volume's free space in words ("12.5 GiB free").
    QString currentFreeSpace() const;

protected:
    // The volume's place, cut at its start so that its last folders stay in sight.
    QString shownText(const QString& currentText) const override;
    Qt::TextElideMode elideMode() const override { return Qt::ElideLeft; }
};

}  // namespace ks
