// The record command while a song plays: the file holds the song from its title's frame on.
#include "tests/engine/recording_fixture.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

class SongStartTest : public RecordingTest {
protected:
    IcyServer icy_;
};

TEST_F(SongStartTest, ASongBegunSecondsBeforeTheRecordCommandIsRecordedWhole) {
    const auto tone = [](int hz, double s) {
        return StationMp3(u"sine=frequency=%1:sample_rate=44100:duration=%2"_s.arg(hz).arg(s), 44100, true);
    };
    IcyServer::Stream s{.head = IcyServer::IcyHead("Songs", 8000), .metaint = 8000};
    s.audioFile = WriteBytes(dir_.path().toStdString() + "/songs.mp3", tone(440, 1) + tone(1000, 20));
    s.titles = {{16000, "StreamTitle='Song B';"}};  // in the last frame of A
    ASSERT_FALSE(s.audioFile.empty()) << "ffmpeg must be installed";
    icy_.SetStream("/songs", s);
    options_.fromSongStart = true;
    PlayAndWait(*player_, QString::fromStdString(icy_.Url("/songs")), u"Songs"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == u"Song B"_s; }, 10000));
    quint64 titleAt = 0;
    audio_.ChannelGetTags(player_->Current(), audio::TAG_META, &titleAt);
    PumpWait(4000);
    recorder_->ToggleRecording();
    PumpWait(1000);
    const quint64 decoded = audio_.ChannelGetSample(player_->Current(), audio::SAMPLE_DECODED);
    recorder_->ToggleRecording();
    Finish();
    ASSERT_EQ(started_.size(), 1);
    const std::vector<float> x = MonoSound(started_[0]);
    // From the title's frame to the stop: the four seconds before the command are in it.
    EXPECT_GE(double(x.size()), double(decoded - titleAt) - 1152);
    ASSERT_GT(x.size(), size_t(44100 * 4));
    EXPECT_GT(ToneLevel(x, 2400, 44100, 1000), 10 * ToneLevel(x, 2400, 44100, 440))
        << "song B from its start";
}

}  // namespace
}  // namespace wavelot::test
