#include "PrivateBus.h"

#include <QStandardPaths>

namespace ks::test {

namespace {

QString daemonProgram() {
    return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
}

}  // namespace

bool PrivateBus::available() {
    return !daemonProgram().isEmpty();
}

PrivateBus::PrivateBus(const QString& folder) {
    daemon_.start(daemonProgram(),
                  {QStringLiteral("--session"), QStringLiteral("--address=unix:dir=") + folder,
                   QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(10000)) {
        address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
    }
}

PrivateBus::~PrivateBus() {
    daemon_.terminate();
    if (!daemon_.waitForFinished(10000)) {
        daemon_.kill();
        daemon_.waitForFinished();
    }
}

}  // namespace ks::test
