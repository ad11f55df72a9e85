#include <QApplication>

#include "app/Program.h"
#include "app/QtDialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The program ends only through its shutdown path, never because a window was hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral("keystead"));
    ks::QtDialogs dialogs;
    ks::Program program(dialogs, ks::ProgramOptions::forDesktop());
    QApplication::setApplicationName(program.state().AppTitle);
    program.start();
    if (program.ended()) {
        return 1;  // another copy holds the data folder
    }
    return QApplication::exec();
}
