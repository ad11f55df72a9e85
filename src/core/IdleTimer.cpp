#include "core/IdleTimer.h"

namespace ks {

IdleTimer::IdleTimer(QObject* parent) : QObject(parent) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &IdleTimer::arm);
    sinceUse_.start();
}

void IdleTimer::setLimit(std::chrono::milliseconds limit) {
    limit_ = limit;
    if (running_) {
        arm();
    }
}

void IdleTimer::start() {
    running_ = true;
    sinceUse_.restart();
    arm();
}

void IdleTimer::stop() {
    running_ = false;
    wake_.stop();
}

void IdleTimer::arm() {
    if (!running_ || limit_.count() <= 0) {
        wake_.stop();
        return;
    }
    const std::chrono::milliseconds left = limit_ - std::chrono::milliseconds(sinceUse_.elapsed());
    if (left.count() > 0) {
        wake_.start(left);
        return;
    }
    running_ = false;
    emit idle();
}

}  // namespace ks
