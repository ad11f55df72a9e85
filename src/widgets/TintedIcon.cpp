#include "widgets/TintedIcon.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace ks {

namespace {

QByteArray tintedSource(const QString& resourcePath, const QColor& colour) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll().replace("currentColor", colour.name(QColor::HexRgb).toLatin1());
}

class TintedEngine final : public QIconEngine {
public:
    explicit TintedEngine(QString resourcePath) : resourcePath_(std::move(resourcePath)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QGuiApplication::palette();
        const QColor colour =
            palette.color(QPalette::Active, mode == QIcon::Selected ? QPalette::HighlightedText
                                                                    : QPalette::ButtonText);
        const QString key = QStringLiteral("ks-tinted:%1:%2x%3:%4:%5")
                                .arg(resourcePath_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(colour.rgba())
                                .arg(int(mode));
        QPixmap picture;
        if (QPixmapCache::find(key, &picture)) {
            return picture;
        }
        picture = QPixmap::fromImage(renderTinted(resourcePath_, colour, size));
        if (mode == QIcon::Disabled && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = palette;
            picture = QApplication::style()->generatedIconPixmap(QIcon::Disabled, picture, &option);
        }
        QPixmapCache::insert(key, picture);
        return picture;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TintedEngine(resourcePath_); }
    QString key() const override { return QStringLiteral("ks-tinted"); }

private:
    QString resourcePath_;
};

}  // namespace

QImage renderTinted(const QString& resourcePath, const QColor& colour, const QSize& size) {
    QByteArray source = tintedSource(resourcePath, colour);
    QBuffer buffer(&source);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(size);
    return reader.read();
}

QIcon tintedIcon(const QString& resourcePath) {
    return QIcon(new TintedEngine(resourcePath));
}

}  // namespace ks
