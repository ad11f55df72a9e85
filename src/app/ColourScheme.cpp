#include "app/ColourScheme.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace ks {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
// The slot in the normalized form D-Bus looks it up by (no spaces).
// clang-format off
const char* const kSettingChangedSlot = SLOT(settingChanged(QDBusMessage));
// clang-format on
// The portal is asked once at start; a desktop without one answers at once, a portal that
// hangs does not hold the window back for longer than this.
constexpr int kReadTimeoutMs = 500;

}  // namespace

std::optional<SchemePreference> schemePreferenceFrom(const QVariant& value) {
    QVariant inner = value;
    for (int depth = 0; depth < 3 && inner.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth) {
        inner = inner.value<QDBusVariant>().variant();
    }
    bool ok = false;
    const uint number = inner.toUInt(&ok);
    if (!ok || number > 2) {
        return std::nullopt;
    }
    return static_cast<SchemePreference>(number);
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette() {
    const QColor window(0x2b, 0x2d, 0x30);
    const QColor base(0x1f, 0x21, 0x24);
    const QColor text(0xe8, 0xea, 0xed);
    const QColor muted(0x8a, 0x8f, 0x96);
    const QColor highlight(0x3d, 0x7b, 0xbf);  // the program's own blue
    QPalette palette(window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(115));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(120));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    palette.setColor(QPalette::Link, highlight.lighter(150));
    palette.setColor(QPalette::LinkVisited, highlight.lighter(130));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Disabled, role, muted);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(150));
    return palette;
}

ColourScheme::ColourScheme(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      toolkitStyle_(QApplication::style()->name()),
      toolkitPalette_(QGuiApplication::palette()) {
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                 kSettingChangedSlot);
    QDBusMessage read =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    const QDBusMessage reply = bus_.call(read, QDBus::Block, kReadTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        if (const auto preference = schemePreferenceFrom(reply.arguments().constFirst())) {
            apply(*preference);
        }
    }
}

ColourScheme::~ColourScheme() {
    if (bus_.isConnected()) {
        bus_.disconnect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                        kSettingChangedSlot);
    }
}

void ColourScheme::apply(SchemePreference preference) {
    const bool wantDark = preference == SchemePreference::Dark;
    if (wantDark && !darkApplied_ && !isDarkPalette(QGuiApplication::palette())) {
        // The palette first: a new style polishes every window again, with the palette of the
        // moment, and so reaches the boxes that carry a style sheet of their own.
        QApplication::setPalette(darkPalette());
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        darkApplied_ = true;
    } else if (!wantDark && darkApplied_) {
        QApplication::setPalette(toolkitPalette_);
        QApplication::setStyle(QStyleFactory::create(toolkitStyle_));
        darkApplied_ = false;
    }
}

void ColourScheme::settingChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 3 || arguments.at(0).toString() != kGroup ||
        arguments.at(1).toString() != kKey) {
        return;
    }
    if (const auto preference = schemePreferenceFrom(arguments.at(2))) {
        apply(*preference);
    }
}

}  // namespace ks
