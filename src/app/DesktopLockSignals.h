#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace ks {

// The desktop's word that nobody is at the screen any more: the screen locks or the computer
// is about to sleep. Listened for on D-Bus: logind's PrepareForSleep and the session's Lock on
// the system bus, the screen saver's ActiveChanged (freedesktop and GNOME) on the session bus.
// A bus that is not connected is simply not listened to. Uses QtCore and Qt D-Bus only.
class DesktopLockSignals : public QObject {
    Q_OBJECT
public:
    // `sessionPath`: logind's object of this login session; only its Lock counts. Empty: the
    // Lock of any session counts (the session is not known).
    DesktopLockSignals(QDBusConnection systemBus, QDBusConnection sessionBus,
                       const QString& sessionPath, QObject* parent = nullptr);

    // The object path logind gives the session `id` (XDG_SESSION_ID); empty for an empty id.
    static QString sessionObjectPath(const QString& id);

    // Whether any of the signals can come at all.
    bool listening() const { return listening_; }

Q_SIGNALS:
    void lockRequested();

private Q_SLOTS:
    void prepareForSleep(bool starting);
    void sessionLocked();
    void screenSaverActive(bool active);

private:
    QDBusConnection system_;
    QDBusConnection session_;
    bool listening_ = false;
};

}  // namespace ks
