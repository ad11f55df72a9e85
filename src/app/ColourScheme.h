#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QPalette>
#include <QString>
#include <optional>

namespace ks {

// What the desktop asks for: the freedesktop portal's setting org.freedesktop.appearance
// color-scheme.
enum class SchemePreference { None = 0, Dark = 1, Light = 2 };

// A portal value (the portal wraps it in one or two variants) as a preference; nullopt when it
// is not one.
std::optional<SchemePreference> schemePreferenceFrom(const QVariant& value);

// Whether a palette is dark: text lighter than the window behind it.
bool isDarkPalette(const QPalette& palette);

// The program's dark palette for the Fusion style.
QPalette darkPalette();

// Follows the desktop's colour scheme. This toolkit (Qt 6.4) does not learn the freedesktop
// preference itself, so it is read over D-Bus from the desktop portal at start and followed
// when it changes. When the desktop asks for dark and the toolkit's palette is light, the
// program takes the Fusion style with a dark palette; when the desktop asks for light again
// or has no preference, it goes back to the toolkit's own style and palette. A platform theme
// that already gives the scheme the desktop asks for is left alone.
class ColourScheme : public QObject {
    Q_OBJECT
public:
    // `bus`: the session bus (a test's private bus); a bus that is not connected leaves the
    // toolkit's palette as it is.
    explicit ColourScheme(QDBusConnection bus, QObject* parent = nullptr);
    ~ColourScheme() override;

    void apply(SchemePreference preference);
    // Whether the program's dark palette is in use.
    bool darkApplied() const { return darkApplied_; }

private Q_SLOTS:
    // The portal's SettingChanged(namespace, key, value).
    void settingChanged(const QDBusMessage& message);

private:
    QDBusConnection bus_;
    QString toolkitStyle_;
    QPalette toolkitPalette_;
    bool darkApplied_ = false;
};

}  // namespace ks
