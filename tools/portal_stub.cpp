// A stand-in for the desktop portal's colour-scheme setting, for the tests and the dark
// screenshots (scripts/screenshots.sh): on the session bus of $DBUS_SESSION_BUS_ADDRESS it
// answers org.freedesktop.portal.Settings.Read for org.freedesktop.appearance color-scheme,
// wrapping the value in two variants as the real portal does. Each number read from standard
// input becomes the new value and is announced with SettingChanged; the end of the input ends
// it. It prints "ready" once it is on the bus.
//
//   portal_stub VALUE      (0 no preference, 1 dark, 2 light)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

QVariant wrapped(uint value, int times) {
    QVariant result = QVariant::fromValue(value);
    for (int i = 0; i < times; ++i) {
        result = QVariant::fromValue(QDBusVariant(result));
    }
    return result;
}

class Settings final : public QDBusVirtualObject {
public:
    uint value = 0;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != kInterface || message.member() != QStringLiteral("Read")) {
            return false;
        }
        const QVariantList arguments = message.arguments();
        if (arguments.size() == 2 && arguments.at(0).toString() == kGroup &&
            arguments.at(1).toString() == kKey) {
            connection.send(message.createReply(wrapped(value, 2)));
        } else {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                         QStringLiteral("Requested setting not found")));
        }
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: portal_stub VALUE\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    Settings settings;
    settings.value = QString::fromLocal8Bit(argv[1]).toUInt();
    if (!bus.registerVirtualObject(kPath, &settings) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "portal_stub: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        std::string line;
        do {
            if (!std::getline(std::cin, line)) {
                QCoreApplication::quit();
                return;
            }
            settings.value = QString::fromStdString(line).trimmed().toUInt();
            QDBusMessage changed =
                QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("SettingChanged"));
            changed << kGroup << kKey << wrapped(settings.value, 1);
            bus.send(changed);
        } while (std::cin.rdbuf()->in_avail() > 0);
    });
    return QCoreApplication::exec();
}
