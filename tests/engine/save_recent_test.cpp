// Saving the last seconds heard: one file holding exactly the span asked, ending at what is heard.
#include "tests/engine/recording_fixture.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

class SaveRecentTest : public RecordingTest {
protected:
    IcyServer icy_;
};

TEST_F(SaveRecentTest, TheSavedFileHoldsExactlyTheSecondsAskedUpToWhatIsHeard) {
    IcyServer::Stream s{.head = IcyServer::IcyHead("Recent", 8000), .metaint = 8000};
    s.audioFile =
        WriteBytes(dir_.path().toStdString() + "/recent.mp3",
                   StationMp3(u"sine=frequency=440:sample_rate=44100:duration=1"_s, 44100, true) +
                       StationMp3(u"sine=frequency=1000:sample_rate=44100:duration=20"_s, 44100, true));
    ASSERT_FALSE(s.audioFile.empty()) << "ffmpeg must be installed";
    s.burstBytes = 0;
    icy_.SetStream("/recent", s);
    PlayAndWait(*player_, QString::fromStdString(icy_.Url("/recent")), u"Recent"_s, 0);
    const auto heard = [&] { return audio_.ChannelGetSample(player_->Current(), audio::SAMPLE_HEARD); };
    ASSERT_TRUE(WaitUntil([&] { return heard() > 44100 * 13 / 4; }, 10000));
    const QString file = recorder_->SaveRecent(2);
    ASSERT_FALSE(file.isEmpty());
    Finish();
    const std::vector<float> x = MonoSound(file);
    EXPECT_NEAR(double(x.size()), 2.0 * 44100, 1) << "exactly the two seconds asked";
    ASSERT_GT(x.size(), size_t(44100));
    // Asked after 3.25 s heard: the span lies within the 1000 Hz song, past the first second's 440 Hz.
    EXPECT_GT(ToneLevel(x, 0, x.size(), 1000), 10 * ToneLevel(x, 0, x.size(), 440));
}

}  // namespace
}  // namespace wavelot::test
