#include "app/DesktopLockSignals.h"

namespace ks {

namespace {

const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogin1Session = QStringLiteral("org.freedesktop.login1.Session");
const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kGnomeScreenSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString kActiveChanged = QStringLiteral("ActiveChanged");
// The slots in the normalized form D-Bus looks them up by (no spaces).
// clang-format off
const char* const kSleepSlot = SLOT(prepareForSleep(bool));
const char* const kLockSlot = SLOT(sessionLocked());
const char* const kActiveSlot = SLOT(screenSaverActive(bool));
// clang-format on

}  // namespace

DesktopLockSignals::DesktopLockSignals(QDBusConnection systemBus, QDBusConnection sessionBus,
                                       const QString& sessionPath, QObject* parent)
    : QObject(parent), system_(std::move(systemBus)), session_(std::move(sessionBus)) {
    // Any sender: a signal that only asks for a lock is harmless whoever sends it.
    if (system_.isConnected()) {
        listening_ |= system_.connect(QString(), kLogin1Path, kLogin1Manager,
                                      QStringLiteral("PrepareForSleep"), this, kSleepSlot);
        listening_ |= system_.connect(QString(), sessionPath, kLogin1Session,
                                      QStringLiteral("Lock"), this, kLockSlot);
    }
    if (session_.isConnected()) {
        for (const QString& interface : {kScreenSaver, kGnomeScreenSaver}) {
            listening_ |= session_.connect(QString(), QString(), interface, kActiveChanged, this,
                                           kActiveSlot);
        }
    }
}

QString DesktopLockSignals::sessionObjectPath(const QString& id) {
    if (id.isEmpty()) {
        return {};
    }
    // logind's escaping of object path elements: letters and digits stay (a leading digit does
    // not), every other byte becomes "_" and two hex digits.
    QString path = kLogin1Path + QStringLiteral("/session/");
    const QByteArray bytes = id.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes.at(i));
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || (digit && i > 0)) {
            path += QLatin1Char(static_cast<char>(c));
        } else {
            path += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
        }
    }
    return path;
}

void DesktopLockSignals::prepareForSleep(bool starting) {
    if (starting) {
        emit lockRequested();
    }
}

void DesktopLockSignals::sessionLocked() {
    emit lockRequested();
}

void DesktopLockSignals::screenSaverActive(bool active) {
    if (active) {
        emit lockRequested();
    }
}

}  // namespace ks
