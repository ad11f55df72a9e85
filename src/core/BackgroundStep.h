#pragma once

#include <QEventLoop>
#include <QMetaObject>
#include <optional>
#include <thread>
#include <utility>

#include "core/LongStep.h"

namespace ks {

// Runs a long step of an operation on a thread of its own and returns its result, while the
// thread of the windows goes on turning their events (painting, timers); the user's input waits
// until the step is done, and so does a lock that comes meanwhile. The step touches no window
// and no connection of the session: it opens what it needs itself.
template <typename Work>
auto runBesideWindows(Work work) -> decltype(work()) {
    const LongStep step;
    std::optional<decltype(work())> result;
    QEventLoop loop;
    std::thread worker([&] {
        result.emplace(work());
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // A loop ended from outside (the program ending) still waits for the step.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return std::move(*result);
}

}  // namespace ks
