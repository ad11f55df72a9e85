#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "core/IdleTimer.h"

namespace ks {

// How an attempt to lock ended.
enum class LockStep {
    Done,       // locked, or nothing to lock
    Later,      // something holds it back for now (a long operation, a changed record editor)
    Soon,       // windows in its way were closed: it goes on once their modal loops have ended
    Abandoned,  // it must not happen (unsaved text could not be saved)
};

// When the session locks: after a while without keyboard or mouse input to any window of the
// program, or when asked (the desktop locked). A lock that something holds back is tried again
// shortly until it is done.
class SessionLock : public QObject {
    Q_OBJECT
public:
    // `attempt` tries to lock now.
    explicit SessionLock(std::function<LockStep()> attempt, QObject* parent = nullptr);
    ~SessionLock() override;

    // A session begins: locks after `idleLimit` without use (never for zero).
    void sessionStarted(std::chrono::milliseconds idleLimit);
    // The session has ended (logout, lock, quit): nothing is counted or waiting any more.
    void sessionEnded();
    // A new limit for the running session.
    void setIdleLimit(std::chrono::milliseconds idleLimit);
    // Locks now, or as soon as nothing holds it back.
    void request();
    bool pending() const { return retry_.isActive(); }
    IdleTimer& idleTimer() { return idle_; }

    // How long a held-back lock waits before it tries again, and after closing windows.
    static constexpr std::chrono::milliseconds kRetry{200};
    static constexpr std::chrono::milliseconds kSoon{10};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tryNow();

    std::function<LockStep()> attempt_;
    IdleTimer idle_;
    QTimer retry_;
    // An attempt under way (a message it shows waits in a modal loop): no other starts then.
    bool attempting_ = false;
};

}  // namespace ks
