#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace ks {

// A request to end from outside (SIGTERM from the session or `kill`, SIGINT from Ctrl+C in a
// terminal, SIGHUP when the terminal closes) runs `quit` from the event loop, so that the
// program ends through its shutdown path instead of leaving its temporary folder behind.
// One instance at a time; the signals get their default action back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> quit);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::function<void()> quit_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ks
