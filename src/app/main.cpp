#include <QApplication>
#include <QDBusConnection>

#include "app/ColourScheme.h"
#include "app/CommandLine.h"
#include "app/DesktopLockSignals.h"
#include "app/ProcessMemory.h"
#include "app/Program.h"
#include "app/QtDialogs.h"
#include "app/TerminationSignals.h"
#include "core/Version.h"

int main(int argc, char** argv) {
    ks::guardProcessMemory(argv);
    if (const std::optional<int> answered = ks::answerInformationRequest(argc, argv)) {
        return *answered;
    }
    QApplication application(argc, argv);
    if (const std::optional<int> refused = ks::refuseOtherArguments(QApplication::arguments())) {
        return *refused;
    }
    // The program ends only through its shutdown path, never because a window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral(KEYSTEAD_APP_ID));
    QApplication::setApplicationVersion(QStringLiteral(KEYSTEAD_VERSION));
    const ks::ColourScheme colours(QDBusConnection::sessionBus());
    ks::QtDialogs dialogs;
    ks::Program program(dialogs, ks::ProgramOptions::forDesktop());
    QApplication::setApplicationName(program.state().AppTitle);
    const ks::TerminationSignals quitOnSignal([&program] { program.QuitApplication(); });
    const ks::DesktopLockSignals desktopLock(
        QDBusConnection::systemBus(), QDBusConnection::sessionBus(),
        ks::DesktopLockSignals::sessionObjectPath(qEnvironmentVariable("XDG_SESSION_ID")));
    QObject::connect(&desktopLock, &ks::DesktopLockSignals::lockRequested, &program,
                     &ks::Program::desktopLocked);
    program.start();
    if (program.ended()) {
        return program.exitCode();  // handed over to the running copy, or refused
    }
    return QApplication::exec();
}
