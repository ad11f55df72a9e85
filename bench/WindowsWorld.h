#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "ScriptedDialogs.h"
#include "Session.h"
#include "WindowsFill.h"
#include "app/Program.h"

namespace ks::bench {

// Runs every pending event (posted events, queued calls, update requests and so repaints)
// until a pass delivers nothing more. Counts events through an application-wide filter that
// installEventCounter() sets up once.
void installEventCounter();
void settle();

// Figures of one measured action.
class Samples {
public:
    void add(double ms) { values_.push_back(ms); }
    bool empty() const { return values_.empty(); }
    double median() const { return quantile(0.5); }
    double p90() const { return quantile(0.9); }
    double worst() const;

private:
    double quantile(double q) const;
    std::vector<double> values_;
};

// A private world for one database: program folder with the template, data folder holding a
// copy of the database, temporary folder and home, all inside one folder of the run. Programs
// of different worlds never live at the same time (window names are unique). Its users log in
// with `secret` (a protected account's pass phrase, or the password every user shares).
class BenchWorld {
public:
    BenchWorld(const QString& root, const QString& name, const QString& database,
               const QString& secret = userPassword());

    // Points the environment at this world and starts a program at its login window.
    void start();
    // Logs in as `name`; false when the login did not succeed.
    bool logIn(const QString& name);
    // Ends the program (its windows go with it).
    void stop();

    Program& program() { return *program_; }
    test::ScriptedDialogs dialogs;

private:
    QString folder_;
    QString secret_;
    std::shared_ptr<test::FakeClock> clock_ = std::make_shared<test::FakeClock>();
    std::unique_ptr<Program> program_;
};

// Sets HOME and the other per-user folders to `root` before anything reads them.
void usePrivateHome(const QString& root);
// All a benchmark of the windows sets before its application object is made: the private
// folders under `root`, the offscreen platform unless another was asked for, and quiet about
// the window features that platform lacks.
void useOffscreenWorld(const QString& root);

// The resident peak of this process in KiB.
long peakResidentKb();

// Milliseconds from the start of `action` (a click or a key) until the event loop is idle again.
template <typename Action>
double timeUntilIdle(Action&& action) {
    settle();
    QElapsedTimer timer;
    timer.start();
    action();
    settle();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds from the start of `action` until `shown()` holds and what that queued (the paint
// of a refilled list) is delivered: for an action after which work goes on in the event loop's
// pauses, while the window takes keys and paints. -1 when it never held (in a minute).
template <typename Action, typename Shown>
double timeUntilShown(Action&& action, Shown&& shown) {
    settle();
    QElapsedTimer timer;
    timer.start();
    action();
    while (!shown()) {
        if (timer.elapsed() > 60000) {
            return -1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    QCoreApplication::sendPostedEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace ks::bench
