// A server away for a while, end to end on a real stream: the reconnect keeps trying on its
// schedule, with one play-log line per failed attempt, and the recording goes on in a new file
// when the server is back. The whole schedule is shown on the engine fake; this one is away long
// enough for four attempts. An executable of its own: it takes about half a minute.
#include <QElapsedTimer>

#include "tests/engine/recording_fixture.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

TEST_F(RecordingTest, ARecordingOutlastsAServerAwayForTwelveSeconds) {
    IcyServer icy;
    icy.SetStream("/noise", LiveNoise(dir_.path().toStdString(), 32768));
    PlayAndWait(*player_, QString::fromStdString(icy.Url("/noise")), u"Noise"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    QList<qint64> failedAt;
    QObject::connect(watchdog_.get(), &StreamWatchdog::reconnected, [&](bool ok) {
        if (!ok)
            failedAt.append(clock_.elapsed());
    });
    recorder_->ToggleRecording();
    PumpWait(3000);
    const qint64 awayAt = clock_.elapsed();
    icy.Away(12000);
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 2; }, 60000)) << "the recording goes on";
    EXPECT_GE(clock_.elapsed() - awayAt, 12000);
    ASSERT_TRUE(WaitUntil(
        [&] { return audio_.ChannelGetSample(player_->Current(), audio::SAMPLE_DECODED) > 3 * 44100; },
        20000));
    const quint64 decoded = audio_.ChannelGetSample(player_->Current(), audio::SAMPLE_DECODED);
    recorder_->ToggleRecording();
    Finish();

    // Attempts at once, then after 1, 2 and 4 s (and 8 s on a slow machine); each failure logged
    // once.
    ASSERT_GE(failedAt.size(), 4);
    EXPECT_LE(failedAt.size(), 5);
    for (int i = 1; i < failedAt.size(); ++i)
        EXPECT_NEAR((failedAt[i] - failedAt[i - 1]) / 1000.0, StreamWatchdog::RetryDelaySeconds(i) + 0.6, 0.7)
            << "attempt " << i;
    EXPECT_EQ(LogLines(log_).filter(u"錯誤！無法連線至 Noise"_s).size(), failedAt.size());

    // The server's timeline went on after it came back: the new burst holds nothing old, so the
    // new file keeps all the new stream gave, and none of it is in the old file.
    const std::vector<IcyServer::Span> spans = icy.Spans("/noise");
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_GT(spans[1].from, spans[0].to);
    const std::vector<float> before = MonoSound(started_[0]), after = MonoSound(started_[1]);
    ASSERT_GT(before.size(), 4 * 44100u);
    ASSERT_GT(after.size(), 44100u);
    EXPECT_NEAR(double(after.size()), double(decoded), 2 * 1152 + 1024);
    EXPECT_LT(BestMatch(before, std::vector<float>(after.begin() + 4410, after.begin() + 4410 + 22050)), 0.5);
}

}  // namespace
}  // namespace wavelot::test
