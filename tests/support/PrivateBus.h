#pragma once

#include <QProcess>
#include <QString>

namespace ks::test {

// A session bus of the test's own: a dbus-daemon whose socket lives in the test's folder,
// stopped with this object.
class PrivateBus {
public:
    // Whether dbus-daemon is installed (a test without it is skipped).
    static bool available();

    explicit PrivateBus(const QString& folder);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The bus's address; empty when the daemon did not start.
    QString address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace ks::test
