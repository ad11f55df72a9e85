#include "app/SessionLock.h"

#include <QCoreApplication>
#include <QEvent>

namespace ks {

SessionLock::SessionLock(std::function<LockStep()> attempt, QObject* parent)
    : QObject(parent), attempt_(std::move(attempt)) {
    retry_.setInterval(kRetry);
    connect(&retry_, &QTimer::timeout, this, &SessionLock::tryNow);
    connect(&idle_, &IdleTimer::idle, this, &SessionLock::request);
    // Every event of every window of the program passes here first.
    QCoreApplication::instance()->installEventFilter(this);
}

SessionLock::~SessionLock() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void SessionLock::sessionStarted(std::chrono::milliseconds idleLimit) {
    retry_.stop();
    idle_.setLimit(idleLimit);
    idle_.start();
}

void SessionLock::sessionEnded() {
    retry_.stop();
    idle_.stop();
}

void SessionLock::setIdleLimit(std::chrono::milliseconds idleLimit) {
    idle_.setLimit(idleLimit);
}

void SessionLock::request() {
    if (!retry_.isActive()) {
        tryNow();
    }
}

void SessionLock::tryNow() {
    if (attempting_) {
        return;
    }
    attempting_ = true;
    const LockStep step = attempt_();
    attempting_ = false;
    switch (step) {
        case LockStep::Later:
            retry_.start(kRetry);
            break;
        case LockStep::Soon:
            retry_.start(kSoon);
            break;
        case LockStep::Done:
            retry_.stop();
            break;
        case LockStep::Abandoned:
            // The session goes on: the time without use counts again from now.
            retry_.stop();
            idle_.start();
            break;
    }
}

bool SessionLock::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TabletPress:
        case QEvent::InputMethod:
            idle_.noteUse();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ks
