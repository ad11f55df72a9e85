#include "widgets/Icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/TintedIcon.h"

namespace ks {

namespace {
constexpr int kButtonSide = 56;
constexpr int kIconSide = 32;
constexpr QSize kBackdropSize(1200, 800);
}  // namespace

QIcon appIcon() {
    return QIcon(QStringLiteral(":/icons/keystead.svg"));
}

QIcon themedIcon(const QString& themeName, const QString& picture) {
    // This toolkit does not repaint a theme's symbolic icons in the text colour, so on a dark
    // scheme they would be dark on dark: the program's own picture is used instead.
    if (themeName.endsWith(QStringLiteral("-symbolic"))) {
        return tintedIcon(QStringLiteral(":/icons/%1.svg").arg(picture));
    }
    return QIcon::fromTheme(themeName, tintedIcon(QStringLiteral(":/icons/%1.svg").arg(picture)));
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

QPixmap backdropPicture(const QPalette& palette) {
    // Drawn in the highlight colour over the window's own colour: light on a light scheme,
    // dark on a dark one.
    const QString source = QStringLiteral(":/pictures/backdrop.svg");
    const QImage lines = renderTinted(source, palette.color(QPalette::Highlight), kBackdropSize);
    if (lines.isNull()) {
        return {};
    }
    QPixmap picture(kBackdropSize);
    picture.fill(palette.color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawImage(0, 0, lines);
    return picture;
}

}  // namespace ks
