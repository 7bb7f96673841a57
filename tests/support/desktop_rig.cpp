#include "tests/support/desktop_rig.h"

#include <sys/stat.h>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace wavelot::test {

namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}
void Remember(const char* name, std::string* value, bool* had) {
    const char* v = std::getenv(name);
    *had = v != nullptr;
    if (v != nullptr)
        *value = v;
}
void Restore(const char* name, const std::string& value, bool had) {
    if (had)
        ::setenv(name, value.c_str(), 1);
    else
        ::unsetenv(name);
}
}  // namespace

DesktopRig::~DesktopRig() {
    trayer_.Stop(1000);
    xvfb_.Stop(1000);
    if (display_ >= 0) {
        Restore("DISPLAY", oldDisplay_, hadDisplay_);
        Restore("QT_QPA_PLATFORM", oldPlatform_, hadPlatform_);
    }
}

bool DesktopRig::Start() {
    if (!ProgramAvailable("Xvfb") || !ProgramAvailable("trayer")) {
        error_ = "Xvfb or trayer is not installed";
        return false;
    }
    // A display number nobody holds: no lock file and no socket.
    for (int n = 87; n < 200 && display_ < 0; ++n) {
        const std::string num = std::to_string(n);
        if (Exists("/tmp/.X" + num + "-lock") || Exists("/tmp/.X11-unix/X" + num))
            continue;
        if (!xvfb_.Start({"Xvfb", ":" + num, "-screen", "0", "1280x800x24", "-nolisten", "tcp"}))
            continue;
        for (int i = 0; i < 100 && !Exists("/tmp/.X11-unix/X" + num); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Exists("/tmp/.X11-unix/X" + num) && xvfb_.Running())
            display_ = n;
        else
            xvfb_.Stop(500);  // lost a race for that number: try the next
    }
    if (display_ < 0) {
        error_ = "no Xvfb display could be started";
        return false;
    }
    Remember("DISPLAY", &oldDisplay_, &hadDisplay_);
    Remember("QT_QPA_PLATFORM", &oldPlatform_, &hadPlatform_);
    const std::string display = ":" + std::to_string(display_);
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!StartTray()) {
        error_ = "trayer did not start";
        return false;
    }
    return true;
}

bool DesktopRig::StartTray() {
    const std::string display = "DISPLAY=:" + std::to_string(display_);
    if (!trayer_.Start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                        "200", "--height", "24", "--SetDockType", "true"},
                       false, {display}))
        return false;
    // The panel takes the tray selection a moment after it starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    return trayer_.Running();
}

void DesktopRig::StopTray() {
    trayer_.Stop(1000);
}

}  // namespace wavelot::test
