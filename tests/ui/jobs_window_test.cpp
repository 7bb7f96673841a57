// The scheduler behind the main window: a job that starts while the window is hidden.
#include "engine/player.h"
#include "engine/time_text.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/ui/main_window_fixture.h"

namespace wavelot::test {
namespace {

// The job is added after the start, as the list commands add one: the scheduler learns of it from
// the job view.
TEST_F(MainWindowTest, AJobAddedLaterStartsWhileTheWindowIsHidden) {
    IcyServer icy;
    icy.SetStream("/hidden", {.head = IcyServer::IcyHead("Hidden FM", 0),
                              .audioFile = IcyServer::MakeTone(MakeTempDir("wavelot-ui-tone"), 440, 4)});
    frmMain& w = Open();
    Pump(300);
    const QString url = QString::fromStdString(icy.Url("/hidden")),
                  soon = ClockText(QTime::currentTime().addSecs(2));
    Lists().jobList.AddItem(
        {.file = url, .title = u"Hidden"_s, .jobStart = soon, .jobStop = soon, .runJob = 1});
    w.clsRunJobs().Add();
    w.hide();
    EXPECT_TRUE(
        WaitUntil([&] { return player().IsPlaying() && player().StationName() == u"Hidden"_s; }, 8000));
    EXPECT_TRUE(WaitUntil([&] { return w.tmrSong().isActive(); }, 3000)) << "titles followed in the tray too";
    EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace wavelot::test
