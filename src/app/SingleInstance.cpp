#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTimer>

namespace ks {

namespace {

const QByteArray kShow = QByteArrayLiteral("show\n");
const QByteArray kShown = QByteArrayLiteral("shown\n");
// A request is one short line; anything longer is not ours.
constexpr qint64 kLongestRequest = 64;
// A client that connects and says nothing is dropped after this long.
constexpr int kSilentClientMs = 2000;

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
            QTimer::singleShot(kSilentClientMs, socket, [socket] { socket->abort(); });
        }
    });
}

SingleInstance::~SingleInstance() {
    close();
}

QString SingleInstance::socketPathIn(const QString& dataFolder) {
    return dataFolder + QStringLiteral("Keystead.socket");
}

bool SingleInstance::askToShow(const QString& socketPath, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return false;
    }
    socket.write(kShow);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readLine() == kShown;
}

bool SingleInstance::listen() {
    QLocalServer::removeServer(socketPath_);
    return server_.listen(socketPath_);
}

void SingleInstance::close() {
    if (server_.isListening()) {
        server_.close();
    }
}

void SingleInstance::answer(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestRequest) {
            socket->abort();
        }
        return;
    }
    if (socket->readLine(kLongestRequest) == kShow && showWindow && showWindow()) {
        socket->write(kShown);
        socket->flush();
        socket->disconnectFromServer();
        return;
    }
    socket->abort();
}

}  // namespace ks
