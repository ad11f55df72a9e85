#include "widgets/Icons.h"

#include <QPushButton>

namespace ks {

namespace {
constexpr int kButtonSide = 56;
constexpr int kIconSide = 32;
}  // namespace

QIcon appIcon() {
    return QIcon(QStringLiteral(":/icons/keystead.svg"));
}

QIcon themedIcon(const QString& themeName, const QString& picture) {
    return QIcon::fromTheme(themeName, QIcon(QStringLiteral(":/icons/%1.svg").arg(picture)));
}

QPushButton* makePictureButton(QWidget* parent, const QString& objectName, const QIcon& icon,
                               const QString& purpose) {
    auto* button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setIcon(icon);
    button->setIconSize(QSize(kIconSide, kIconSide));
    button->setFixedSize(kButtonSide, kButtonSide);
    button->setToolTip(purpose);
    button->setAccessibleName(purpose);
    return button;
}

QPixmap backdropPicture() {
    return QPixmap(QStringLiteral(":/pictures/backdrop.svg"));
}

}  // namespace ks
