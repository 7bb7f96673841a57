#pragma once
// A small real desktop for tests that need a notification area: an Xvfb server on a free
// display number with the trayer panel running on it. While the rig lives, DISPLAY names it
// and QT_QPA_PLATFORM is "xcb", so a QApplication created afterwards uses it.
//
//   wavelot::test::DesktopRig desktop;
//   ASSERT_TRUE(desktop.Start()) << desktop.Error();   // before the QApplication exists

#include "tests/support/child_process.h"

#include <string>

namespace wavelot::test {

class DesktopRig {
public:
    DesktopRig() = default;
    ~DesktopRig();
    DesktopRig(const DesktopRig&) = delete;
    DesktopRig& operator=(const DesktopRig&) = delete;

    // Fails (with Error()) when Xvfb or trayer is missing or the display does not come up.
    bool Start();
    int Display() const { return display_; }
    const std::string& Error() const { return error_; }
    // Ends the panel (the tray goes away) or starts it again (a "shell restart").
    void StopTray();
    bool StartTray();

private:
    ChildProcess xvfb_;
    ChildProcess trayer_;
    int display_ = -1;
    std::string error_;
    std::string oldDisplay_;
    std::string oldPlatform_;
    bool hadDisplay_ = false;
    bool hadPlatform_ = false;
};

}  // namespace wavelot::test
