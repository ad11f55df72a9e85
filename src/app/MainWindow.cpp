#include "app/MainWindow.h"

#include <QCloseEvent>

#include "app/Program.h"
#include "widgets/Icons.h"

namespace ks {

MainWindow::MainWindow(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(appIcon());
    resize(900, 600);
}

void MainWindow::activateFromProgram() {
    const ProgramState& state = program_.state();
    setWindowTitle(state.AppTitle + QStringLiteral(" - ") + state.LoginUserName);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (program_.state().Quitting) {
        event->accept();
        return;
    }
    event->ignore();
    program_.QuitApplication();
}

}  // namespace ks
