#pragma once

#include <QDate>
#include <QDateTime>

namespace ks {

// "Now" and "today" for every rule that depends on the time, so that tests can set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace ks
