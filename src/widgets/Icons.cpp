#include "widgets/Icons.h"

#include <QPushButton>
#include <QVBoxLayout>

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

QWidget* makeButtonPanel(const QString& objectName,
                         std::initializer_list<PictureButtonInfo> buttons) {
    auto* panel = new QWidget;
    panel->setObjectName(objectName);
    auto* layout = new QVBoxLayout(panel);
    for (const PictureButtonInfo& button : buttons) {
        layout->addWidget(makePictureButton(
            panel, QString::fromLatin1(button.objectName),
            themedIcon(QString::fromLatin1(button.themeName), QString::fromLatin1(button.picture)),
            button.purpose));
    }
    return panel;
}

QPixmap backdropPicture() {
    return QPixmap(QStringLiteral(":/pictures/backdrop.svg"));
}

}  // namespace ks
