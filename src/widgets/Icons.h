#pragma once

#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <initializer_list>

class QAbstractButton;
class QWidget;

namespace ks {

// The program's icon.
QIcon appIcon();

// An icon from the desktop's icon theme, or the program's own picture of the same purpose.
// `picture` names one of the program's pictures (":/icons/<picture>.svg"), drawn in the
// palette's text colour where it uses currentColor.
QIcon themedIcon(const QString& themeName, const QString& picture);

// A button that shows a picture instead of a caption. It carries its purpose as tooltip and
// accessible name, so it can be found by keyboard users and screen readers.
QPushButton* makePictureButton(QWidget* parent, const QString& objectName, const QIcon& icon,
                               const QString& purpose);

// One picture button of a button panel.
struct PictureButtonInfo {
    const char* objectName;
    const char* themeName;
    const char* picture;
    QString purpose;
};

// Makes a button panel: a widget named `objectName` with a QVBoxLayout holding the buttons.
QWidget* makeButtonPanel(const QString& objectName,
                         std::initializer_list<PictureButtonInfo> buttons);

// The backdrop picture of the main window in the colours of `palette` (empty if it cannot be
// loaded).
QPixmap backdropPicture(const QPalette& palette = QGuiApplication::palette());

}  // namespace ks
