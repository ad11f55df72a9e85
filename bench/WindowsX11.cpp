#include "WindowsX11.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <cstdio>

#include "GuiDriver.h"
#include "WindowsFill.h"

namespace ks::bench {

namespace {

constexpr int kWaitMs = 20000;

// Notes the first paint of the main window, or of anything in it, once it is armed.
class PaintWatch final : public QObject {
public:
    bool armed = false;
    bool painted = false;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (armed && !painted && event->type() == QEvent::Paint && watched->isWidgetType()) {
            const QWidget* top = static_cast<QWidget*>(watched)->window();
            painted = top != nullptr && top->objectName() == QStringLiteral("Form1");
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

XServer::XServer() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (!xvfb.isEmpty()) {
        // The server picks a free display and writes its number once it takes connections.
        xvfb_.setStandardErrorFile(QProcess::nullDevice());
        xvfb_.start(
            xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
        QByteArray number;
        while (xvfb_.waitForReadyRead(kWaitMs)) {
            number += xvfb_.readAll();
            if (number.contains('\n')) {
                display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
                description_ = QStringLiteral("a private Xvfb on %1, 1280x1024x24").arg(display_);
                return;
            }
        }
        xvfb_.kill();
        xvfb_.waitForFinished();
    }
    // Under xvfb-run, or on a desktop, when this machine has no Xvfb of its own.
    display_ = qEnvironmentVariable("DISPLAY");
    description_ = QStringLiteral("the display %1 of the caller").arg(display_);
}

XServer::~XServer() {
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(3000)) {
            xvfb_.kill();
            xvfb_.waitForFinished();
        }
    }
}

double firstLoginOnX(const XServer& server, const QString& database, int user, QString& problem) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--x11-login"), database, QString::number(user)});
    child.waitForFinished(300000);
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("login-ms "));
    if (child.exitCode() != 0 || at < 0) {
        problem = QStringLiteral("the login on the X server failed: ") + out.trimmed() +
                  QLatin1Char(' ') + QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        return -1;
    }
    return out.mid(at + 9).section(QLatin1Char('\n'), 0, 0).toDouble();
}

int firstLoginOnXChild(const QString& root, const QString& database, int user) {
    BenchWorld world(root, QStringLiteral("x11"), database);
    world.start();
    QWidget* login = test::window(QStringLiteral("frmLogin"));
    if (login == nullptr || !QTest::qWaitForWindowExposed(login, kWaitMs)) {
        std::printf("the login window did not show\n");
        return 1;
    }
    // The user takes longer to type than the program to get ready behind the window.
    auto* password = test::control<QLineEdit>(login, QStringLiteral("txtPassword"));
    test::control<QLineEdit>(login, QStringLiteral("txtUserName"))->setText(userName(user));
    password->setText(userPassword());
    settle();
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(password, Qt::Key_Return);
    // What the login handler itself painted may show the lists still empty: the paint that counts
    // is the first one after it, which shows them filled.
    watch.armed = true;
    while (!watch.painted && timer.elapsed() < kWaitMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // A round trip that handles no event meanwhile: the server answers with a pixel of the
    // window once it has drawn everything sent before.
    if (QWidget* main = test::window(QStringLiteral("Form1")); main != nullptr) {
        main->screen()->grabWindow(0, main->x(), main->y(), 1, 1);
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QWidget* main = test::window(QStringLiteral("Form1"));
    const bool shown =
        watch.painted && main != nullptr && main->isVisible() && world.program().state().LoggedIn;
    qApp->removeEventFilter(&watch);
    world.stop();
    if (!shown) {
        std::printf("the main window was not painted: %s\n",
                    qPrintable(world.dialogs.texts().join(QStringLiteral(" | "))));
        return 1;
    }
    std::printf("login-ms %.3f\n", ms);
    return 0;
}

}  // namespace ks::bench
