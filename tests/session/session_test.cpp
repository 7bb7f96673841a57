// An exit signal during a recording: the session's shutdown finishes the file being written and
// writes the changed favourites before the run returns, and releases the parts.
#include <QTimer>

#include <csignal>

#include "core/app_folders.h"
#include "core/list_files.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "session/session.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/mp3_probe.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

TEST(SessionTest, AnExitSignalFinishesTheRecordingThenSavesTheListsAndReleases) {
    App();
    IcecastRig ice;
    ASSERT_TRUE(ice.Start() && ice.StartSource({.mount = "/s.mp3"}) && ice.SetTitle("/s.mp3", "Sig"))
        << ice.Error();
    QTemporaryDir dir;
    ASSERT_TRUE(InitAppFolders(dir.path()));
    Session session;
    ASSERT_TRUE(session.Start());
    session.TakeExitSignals();
    session.LoadLists();
    session.Options().recordingFolder = dir.path() + u"/rec/"_s;
    PlayAndWait(session.player(), QString::fromStdString(ice.Url("/s.mp3")), u"S"_s, 0);
    ASSERT_TRUE(session.player().IsConnected());
    QStringList finished;
    QObject::connect(&session.recorder(), &Recorder::fileFinished, [&](const QString& f) { finished << f; });
    session.recorder().ToggleRecording();
    // A change just before the signal: its autosave still waits, so only the shutdown writes it.
    QTimer::singleShot(1500, &session, [&session] {
        session.Lists().favoriteList.AddItem({.file = u"http://127.0.0.1:9/a.mp3"_s, .title = u"A"_s});
        session.Lists().changes.Announce(KeptList::Favorites);
        std::raise(SIGTERM);
    });

    EXPECT_EQ(session.Run(std::nullopt), Session::End::ExitSignal);
    EXPECT_EQ(finished, QStringList{dir.path() + u"/rec/Test FM/Sig.mp3"_s})
        << "finished before the run ended";
    EXPECT_NEAR(ProbeAudio(finished.value(0)).seconds, 1.5, 0.6);
    clsSongArray saved;
    EXPECT_EQ(ReadListIni(SettingFolder() + u"Favorites.ini"_s, false, saved), 1);
    EXPECT_FALSE(session.HasPlayer());
}

}  // namespace
}  // namespace wavelot::test
