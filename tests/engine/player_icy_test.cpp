// The player against the tests' own ICY server: exact header bytes, titles in Big5 and
// Shift-JIS, metadata edge cases, the proxy setting, broken connections, and the cross-fade
// and stop heard on a PulseAudio monitor.
#include <QTimer>

#include <cmath>
#include <numbers>
#include <vector>

#include "tests/engine/player_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/pulse_rig.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// The sound server has to be up before the first AudioLibrary::Init of this process.
PulseRig& Pulse() {
    static PulseRig rig;
    static const bool started = rig.Start();
    (void)started;
    return rig;
}

const std::string& ToneDir() {
    static const std::string dir = MakeTempDir("wavelot-engine-tones");
    return dir;
}
const std::string& Tone440() {
    static const std::string path = IcyServer::MakeTone(ToneDir(), 440, 6);
    return path;
}
const std::string& Tone1000() {
    static const std::string path = IcyServer::MakeTone(ToneDir(), 1000, 6);
    return path;
}

class IcyPlayerTest : public PlayerTest {
protected:
    void SetUp() override {
        Pulse();
        ASSERT_FALSE(Tone440().empty());
        ASSERT_FALSE(Tone1000().empty());
        PlayerTest::SetUp();
    }
    QString Serve(const std::string& path, const std::string& head, int metaint = 0,
                  const std::string& tone = Tone440()) {
        IcyServer::Stream s;
        s.head = head;
        s.audioFile = tone;
        s.metaint = metaint;
        icy_.SetStream(path, s);
        return QString::fromStdString(icy_.Url(path));
    }
    bool WaitTitle(const QString& title) {
        return WaitUntil([&] { return player_->SongTitle() == title; }, 10000);
    }

    IcyServer icy_;
};

TEST_F(IcyPlayerTest, ExactHeadersGiveTheirLines) {
    const QString url = Serve("/exact",
                              "ICY 200 OK\r\n"
                              "icy-genre:Rock;Pop\r\n"
                              "content-type: audio/mpeg\r\n"
                              "ice-audio-info: ice-samplerate: 22050;bitrate: 96;channels: 1\r\n"
                              "icy-metaint:8192\r\n",
                              8192);
    PlayAndWait(*player_, url, u"Own Name"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const QStringList lines = Untimed(LogLines(log_));
    const QStringList expected = {QString(),
                                  u"T: 連線至 Own Name"_s,
                                  u"T: 連線成功，開始播放 Own Name"_s,
                                  QString(),
                                  u"電台名稱: Own Name"_s,
                                  u"電台曲風: Rock"_s,
                                  u"資料傳輸: 8192"_s,
                                  u"壓縮頻率: 96 Kbps"_s,
                                  u"輸出頻率: 22050 Hz"_s,
                                  u"電台聲道: 單聲道"_s,
                                  u"串流類型: MPEG-1 Audio Layer 3 Audio Streams"_s,
                                  QString()};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(player_->DisplayName(), u"Own Name"_s);
}

TEST_F(IcyPlayerTest, NoBitrateHeaderGivesTheDecodersRate) {
    const QString url = Serve("/nobr", "ICY 200 OK\r\nicy-name:NB\r\ncontent-type:audio/mpeg\r\n");
    PlayAndWait(*player_, url, u"x"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_TRUE(LogLines(log_).contains(u"壓縮頻率: 128 Kbps"_s)) << LogLines(log_).join(u'|').toStdString();
    EXPECT_TRUE(LogLines(log_).contains(u"輸出頻率: 44100 Hz"_s));
    EXPECT_TRUE(LogLines(log_).contains(u"電台聲道: 立體聲"_s));
}

TEST_F(IcyPlayerTest, Big5HeadersAndTitleUnderCode1) {
    // "中文台" and "中文" in Big5.
    const QString url = Serve("/big5", IcyServer::IcyHead("\xA4\xA4\xA4\xE5\xA5\x78", 4096), 4096);
    icy_.SetMeta("/big5", "StreamTitle='\xA4\xA4\xA4\xE5';StreamUrl='';");
    PlayAndWait(*player_, url, u"b5"_s, 1);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_TRUE(LogLines(log_).contains(u"電台名稱: 中文台"_s));
    ASSERT_TRUE(WaitTitle(u"中文"_s)) << player_->SongTitle().toStdString();
    EXPECT_EQ(CountLinesEndingWith(u": 中文"_s), 1);
    // The same tag bytes under another code are decoded again, not taken from the last reading.
    player_->UpdateSongTitle(0);
    EXPECT_NE(player_->SongTitle(), u"中文"_s);
    player_->UpdateSongTitle(1);
    EXPECT_EQ(player_->SongTitle(), u"中文"_s);
}

TEST_F(IcyPlayerTest, ShiftJisTitleUnderCode3) {
    const QString url = Serve("/sjis", IcyServer::IcyHead("JP", 4096), 4096);
    // "日本語の歌" in Shift-JIS.
    icy_.SetMeta("/sjis", "StreamTitle='\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x89\xCC';");
    PlayAndWait(*player_, url, u"jp"_s, 3);
    ASSERT_TRUE(player_->IsConnected());
    ASSERT_TRUE(WaitTitle(u"日本語の歌"_s)) << player_->SongTitle().toStdString();
}

TEST_F(IcyPlayerTest, MetadataEdgeCases) {
    const QString url = Serve("/meta", IcyServer::IcyHead("M", 2048), 2048);
    PlayAndWait(*player_, url, u"Station M"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    icy_.SetMeta("/meta", "STREAMTITLE='Upper';");
    ASSERT_TRUE(WaitTitle(u"Upper"_s));
    icy_.SetMeta("/meta", "StreamTitle='';");
    ASSERT_TRUE(WaitTitle(u"Station M"_s));
    icy_.SetMeta("/meta", "StreamTitle='A;B';StreamUrl='';");
    ASSERT_TRUE(WaitTitle(u"A;B"_s));
    // Something that is no StreamTitle keeps the title.
    icy_.SetMeta("/meta", "StreamUrl='http://x/';");
    PumpWait(1500);
    EXPECT_EQ(player_->SongTitle(), u"A;B"_s);
}

TEST_F(IcyPlayerTest, ProxySettingIsUsedOnlyWhenEnabled) {
    const QString url = Serve("/via", IcyServer::IcyHead("Via", 0));
    // The test server answers absolute requests too, so it is its own proxy; the station's
    // address names a port where nothing listens, reachable only through the proxy.
    const QString direct = u"http://127.0.0.1:%1/via"_s.arg(FreeLoopbackPort());
    WriteIni(settings::kSectionProxy, settings::kUserProxy, u"127.0.0.1:%1"_s.arg(icy_.Port()), settingFile_);
    WriteIni(settings::kSectionProxy, settings::kEnabledProxy, 1, settingFile_);
    PlayAndWait(*player_, direct, u"Proxied"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    bool sawAbsolute = false;
    for (const std::string& h : icy_.RequestHeads())
        sawAbsolute |= h.starts_with("GET http://");
    EXPECT_TRUE(sawAbsolute);

    WriteIni(settings::kSectionProxy, settings::kEnabledProxy, 0, settingFile_);
    PlayAndWait(*player_, direct, u"Direct"_s, 0);
    EXPECT_FALSE(player_->IsConnected());
    PlayAndWait(*player_, url, u"Direct"_s, 0);
    EXPECT_TRUE(player_->IsConnected());
}

TEST_F(IcyPlayerTest, BrokenConnectionLeavesTheStateDropped) {
    const QString url = Serve("/drop", IcyServer::IcyHead("D", 0));
    PlayAndWait(*player_, url, u"D"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    icy_.DropAll();
    EXPECT_TRUE(WaitUntil([&] { return player_->PlaybackState() == Player::State::Dropped; }, 30000));
}

// Magnitude of one frequency in the mono mix of interleaved stereo frames [from, to).
double ToneLevel(const std::vector<float>& stereo, size_t from, size_t to, double freq) {
    const double w = 2 * std::numbers::pi * freq / 44100.0;
    double re = 0, im = 0;
    for (size_t i = from; i < to; ++i) {
        const double x = 0.5 * (stereo[2 * i] + stereo[2 * i + 1]);
        re += x * std::cos(w * double(i));
        im += x * std::sin(w * double(i));
    }
    return 2 * std::hypot(re, im) / double(to - from);
}

TEST_F(IcyPlayerTest, CrossFadeIsHeardThenOnlyTheNewStation) {
    if (!audio_.UsingSoundServer())
        GTEST_FAIL() << "no PulseAudio server: " << Pulse().Error();
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 100, settingFile_);
    PlayAndWait(*player_, Serve("/low", IcyServer::IcyHead("Low", 0)), u"Low"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    PumpWait(1500);  // the fade-in is heard with the output's latency

    ASSERT_TRUE(Pulse().StartRecording());
    PumpWait(700);  // the monitor takes a moment to deliver
    QElapsedTimer clock;
    clock.start();
    qint64 newCurrentAt = -1;
    const audio::StreamHandle low = player_->Current();
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (newCurrentAt < 0 && player_->Current() != low)
            newCurrentAt = clock.elapsed();
    });
    probe.start();
    PlayAndWait(*player_, Serve("/high", IcyServer::IcyHead("High", 0), 0, Tone1000()), u"High"_s, 0);
    probe.stop();
    ASSERT_TRUE(player_->IsConnected());
    PumpWait(800);
    const std::vector<float> pcm = Pulse().StopRecording();
    const size_t frames = pcm.size() / 2;
    ASSERT_GT(frames, 44100u);

    // Walk 100 ms windows: the old tone must be heard together with the new one for a while,
    // and the recording must end with the new tone alone.
    const size_t win = 4410;
    int both = 0;
    for (size_t at = 0; at + win <= frames; at += win) {
        const double lo = ToneLevel(pcm, at, at + win, 440);
        const double hi = ToneLevel(pcm, at, at + win, 1000);
        both += (lo > 0.05 && hi > 0.05) ? 1 : 0;
    }
    EXPECT_GE(both, 3) << "windows with both tones";
    EXPECT_LE(both, 12) << "windows with both tones";
    const size_t tail = frames - 2 * win;
    EXPECT_LT(ToneLevel(pcm, tail, frames, 440), 0.01);
    EXPECT_GT(ToneLevel(pcm, tail, frames, 1000), 0.2);
    EXPECT_GE(newCurrentAt, 0);

    // Stopping fades out to silence.
    ASSERT_TRUE(Pulse().StartRecording());
    StopAndWait(*player_);
    PumpWait(600);
    const std::vector<float> after = Pulse().StopRecording();
    ASSERT_GT(after.size() / 2, 2 * win);
    const size_t n = after.size() / 2;
    EXPECT_LT(Rms(std::vector<float>(after.end() - 2 * std::ptrdiff_t(win), after.end())), 0.005);
    EXPECT_GT(ToneLevel(after, 0, std::min(n, win), 1000) + ToneLevel(after, win, std::min(n, 2 * win), 1000),
              0.05);
}

}  // namespace
}  // namespace wavelot::test
