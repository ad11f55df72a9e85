#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

namespace ks {

// The program's pictures are SVG drawn partly in "currentColor". Painted in the colour of the
// palette's text, they stay legible on a light and on a dark colour scheme.

// The picture at `resourcePath` drawn at `size`, its currentColor painted in `colour`, on a
// transparent background (null when it cannot be read).
QImage renderTinted(const QString& resourcePath, const QColor& colour, const QSize& size);

// An icon of the picture at `resourcePath` whose currentColor follows the application's
// palette of the moment (button text; the highlighted text when selected), so that it changes
// with the desktop's scheme.
QIcon tintedIcon(const QString& resourcePath);

}  // namespace ks
