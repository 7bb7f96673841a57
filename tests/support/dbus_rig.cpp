#include "tests/support/dbus_rig.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace wavelot::test {

DBusRig::~DBusRig() {
    daemon_.Stop(1000);
}

bool DBusRig::Start() {
    if (!ProgramAvailable("dbus-daemon")) {
        error_ = "dbus-daemon is not installed";
        return false;
    }
    if (!daemon_.Start({"dbus-daemon", "--session", "--print-address", "--nofork"}, true)) {
        error_ = "dbus-daemon did not start";
        return false;
    }
    // The address is the first line the daemon prints, once it listens.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string line;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{daemon_.StdoutFd(), POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(daemon_.StdoutFd(), buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    const auto end = line.find('\n');
    if (end == std::string::npos || end == 0) {
        error_ = "dbus-daemon printed no address";
        return false;
    }
    address_ = line.substr(0, end);
    return true;
}

}  // namespace wavelot::test
