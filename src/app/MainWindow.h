#pragma once

#include <QMainWindow>

namespace ks {

class Program;

// The main window `Form1`.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Program& program);

    // Each time the window is shown by the program or comes back from another of its windows.
    void activateFromProgram();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Program& program_;
};

}  // namespace ks
