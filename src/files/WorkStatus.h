#pragma once

#include <QString>

namespace ks {

// How a long operation of the file store keeps the user informed: the main window provides it
// with the status window, tests with a recorder.
class WorkStatus {
public:
    virtual ~WorkStatus() = default;

    // The operation begins: the main window is disabled and the status window shows `status`.
    virtual void begin(const QString& status) = 0;
    // The next step; the windows have repainted when this returns.
    virtual void showStatus(const QString& status) = 0;
    // The operation has ended: the status window goes and the main window is enabled again.
    virtual void end() = 0;
};

}  // namespace ks
