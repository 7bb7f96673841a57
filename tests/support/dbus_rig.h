#pragma once
// A private D-Bus message bus for tests: `dbus-daemon --session --print-address --nofork`,
// started by the test and ended with the rig. Connect to Address() with
// QDBusConnection::connectToBus; nothing of the machine's own buses is touched.
//
//   wavelot::test::DBusRig bus;
//   ASSERT_TRUE(bus.Start()) << bus.Error();

#include "tests/support/child_process.h"

#include <string>

namespace wavelot::test {

class DBusRig {
public:
    DBusRig() = default;
    ~DBusRig();
    DBusRig(const DBusRig&) = delete;
    DBusRig& operator=(const DBusRig&) = delete;

    // Fails (with Error()) when dbus-daemon is missing or prints no address within 10 s.
    bool Start();
    const std::string& Address() const { return address_; }
    const std::string& Error() const { return error_; }

private:
    ChildProcess daemon_;
    std::string address_;
    std::string error_;
};

}  // namespace wavelot::test
