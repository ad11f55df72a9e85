#pragma once

namespace ks {

// A long step of an operation under way that shows no status window of its own (the reading and
// writing of an import or export of records). Such a step lets the events that came meanwhile
// run first (to show the wait cursor); a lock that comes with them waits until the step is done,
// as it waits for an operation that shows a status window.
class LongStep {
public:
    LongStep() { ++underWay_; }
    ~LongStep() { --underWay_; }
    LongStep(const LongStep&) = delete;
    LongStep& operator=(const LongStep&) = delete;

    static bool anyUnderWay() { return underWay_ > 0; }

private:
    // The steps all run on the thread of the windows.
    static inline int underWay_ = 0;
};

}  // namespace ks
