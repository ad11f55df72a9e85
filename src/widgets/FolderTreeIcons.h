#pragma once

#include <QAbstractFileIconProvider>
#include <QIcon>

namespace ks {

// The icons of a folder tree, told from what the folder reading already knows. The toolkit's
// own provider asks the MIME database about every entry of every folder read, files included,
// which costs far more than the reading itself and is paid again whenever a folder shown
// changes; a tree of folders needs no more than a folder's and a volume's icon.
class FolderTreeIcons final : public QAbstractFileIconProvider {
public:
    FolderTreeIcons();

    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    QIcon folder_;
    QIcon volume_;
    QIcon file_;
};

}  // namespace ks
