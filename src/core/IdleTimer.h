#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace ks {

// Tells when the program has gone without use for a given time. Use is noted as it comes, and
// that costs the reading of a clock only, however often input arrives; one timer wakes at the
// earliest moment the time can be up and, when there was use meanwhile, sleeps again for what
// is left.
class IdleTimer : public QObject {
    Q_OBJECT
public:
    explicit IdleTimer(QObject* parent = nullptr);

    // How long without use makes the program idle; zero or less: never.
    void setLimit(std::chrono::milliseconds limit);
    std::chrono::milliseconds limit() const { return limit_; }
    // Starts counting from now (a session begins); idle() comes once per start.
    void start();
    void stop();
    bool isRunning() const { return running_; }
    // There was use: the count starts again from now.
    void noteUse() { sinceUse_.restart(); }

Q_SIGNALS:
    void idle();

private:
    void arm();

    QElapsedTimer sinceUse_;
    QTimer wake_;
    std::chrono::milliseconds limit_{0};
    bool running_ = false;
};

}  // namespace ks
