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
    // Logs out (never asked about compaction on the way) and logs `name` in.
    void switchUser(const QString& name);

    QMainWindow* mainWindow() const;

    TestEnvironment env;
    ScriptedDialogs dialogs;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    // Changes the program's options before the next start().
    std::function<void(ProgramOptions&)> adjustOptions;
    std::unique_ptr<Program> program;
};

// The base of a test class that drives the program: each test function starts a session logged
// in, and ends it checking that no question came unanswered and no answer was left unused.
class SessionTest : public QObject {
protected:
    void startSession(const QString& user = QStringLiteral("anna"),
                      const QString& password = QStringLiteral("password"));
    void endSession();

    ScriptedDialogs& dialogs() { return session->dialogs; }
    ProgramState& state() { return session->program->state(); }
    QMainWindow* main() const { return session->mainWindow(); }
    // Presses the button `name` inside `root`; the texts of the messages shown meanwhile.
    QStringList pressed(QWidget* root, const QString& name);

    std::unique_ptr<Session> session;
};

}  // namespace ks::test
