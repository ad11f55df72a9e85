#pragma once

#include <QDateTime>
#include <memory>

#include "ScriptedDialogs.h"
#include "TestEnvironment.h"
#include "app/Program.h"
#include "core/Clock.h"

class QMainWindow;

namespace ks::test {

// A clock the test sets and moves by hand.
class FakeClock final : public Clock {
public:
    QDateTime current = QDateTime(QDate(2026, 3, 5), QTime(10, 0, 0));
    QDateTime now() const override { return current; }
    void advance(int seconds) { current = current.addSecs(seconds); }
};

// A running program in a private world, with scripted dialogs and a clock set by hand.
class Session {
public:
    Session();
    ~Session();

    // Starts the program (again), at its login window; the first-run greeting is cleared.
    void start();
    // Logs in, creating the account on the spot when it is new, and clears the dialogs.
    void logIn(const QString& name, const QString& password = QStringLiteral("password"));
    // Logs out through the menu item "&Log Out".
    void logOut();

    QMainWindow* mainWindow() const;

    TestEnvironment env;
    ScriptedDialogs dialogs;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::unique_ptr<Program> program;
};

}  // namespace ks::test
