// Pausing a live stream that keeps its received sound: the station stays connected and decoded
// meanwhile, play resumes at the frame the output had reached, behind live, and going live
// again catches up.

#include "engine/audio/audio_library.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/icy_server.h"

#include <gtest/gtest.h>

namespace wavelot::test {
namespace {

using namespace audio;

TEST(AudioPauseTest, APausedStreamResumesAtItsPausedFrameBehindLiveUntilItGoesLive) {
    App();
    const std::string tone = Tone(440);
    ASSERT_FALSE(tone.empty()) << "ffmpeg must be installed to make the test tones";
    IcyServer icy;
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0, 44100));
    lib.SetConfig(CONFIG_NET_PREBUF, 0);
    lib.SetConfig(CONFIG_TIME_SHIFT, 1);
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Pause FM", 0);
    s.audioFile = tone;
    s.burstBytes = 0;
    icy.SetStream("/live", s);
    const StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy.Url("/live")));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(lib.ChannelPlay(h));
    const auto heard = [&] { return lib.ChannelGetSample(h, SAMPLE_HEARD); };
    const auto decoded = [&] { return lib.ChannelGetSample(h, SAMPLE_DECODED); };
    ASSERT_TRUE(WaitFor([&] { return heard() > 44100; }, 10000));

    ASSERT_TRUE(lib.ChannelPause(h));
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PAUSED);
    Pump(200);
    const quint64 pausedAt = heard();
    const quint64 decodedAtPause = decoded();
    Pump(1500);
    EXPECT_EQ(heard(), pausedAt) << "nothing plays while paused";
    EXPECT_GT(decoded(), decodedAtPause + 44100) << "the station goes on being received and decoded";

    ASSERT_TRUE(lib.ChannelPlay(h));
    ASSERT_TRUE(WaitFor([&] { return heard() != pausedAt; }, 5000));
    const quint64 resumedAt = heard();
    EXPECT_GE(resumedAt, pausedAt);
    EXPECT_LT(resumedAt, pausedAt + 44100 / 4) << "play goes on from the paused frame, not from live";
    Pump(500);
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PLAYING);
    EXPECT_TRUE(lib.ChannelIsBehindLive(h));
    EXPECT_GT(heard(), resumedAt + 44100 / 5) << "the kept sound plays on";
    EXPECT_GT(decoded() - heard(), 44100u) << "still behind live by the pause";

    ASSERT_TRUE(lib.ChannelGoLive(h));
    EXPECT_TRUE(WaitFor([&] { return decoded() - heard() < 44100 / 2; }, 3000));
    EXPECT_FALSE(lib.ChannelIsBehindLive(h));
}

// Only a stream that is heard keeps its received sound: one on the silent output (a background
// recording) is never paused nor saved from.
TEST(AudioPauseTest, OnlyAStreamThatIsHeardKeepsItsReceivedSound) {
    App();
    const std::string tone = Tone(440);
    ASSERT_FALSE(tone.empty()) << "ffmpeg must be installed to make the test tones";
    IcyServer icy;
    icy.SetStream("/live", {.head = IcyServer::IcyHead("Kept FM", 0), .audioFile = tone});
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0, 44100));
    lib.SetConfig(CONFIG_TIME_SHIFT, 1);
    for (const bool silent : {false, true}) {
        lib.SetConfigPtr(CONFIG_SILENT_OUTPUT, silent ? "1" : nullptr);
        const StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy.Url("/live")));
        ASSERT_NE(h, 0u);
        ASSERT_TRUE(lib.ChannelPlay(h));
        ASSERT_TRUE(WaitFor([&] { return lib.ChannelGetSample(h, SAMPLE_DECODED) > 44100; }, 10000));
        EXPECT_EQ(lib.ChannelGetTimeShiftBytes(h) > 0, !silent) << "silent: " << silent;
        lib.StreamFree(h);
    }
}

}  // namespace
}  // namespace wavelot::test
