// The back end against the tests' own ICY server: bytes as sent, metadata, playlists, proxy,
// failures, drops, freeing, and the sound path (volume, spectrum, equalizer) on the silent output.

#include "engine/audio/audio_library.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"

#include <gtest/gtest.h>

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>

namespace wavelot::test {
namespace {

using namespace audio;

class IcyStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { App(); }
    void SetUp() override {
        tone440_ = Tone(440);
        tone1000_ = Tone(1000);
        ASSERT_FALSE(tone440_.empty()) << "ffmpeg must be installed to make the test tones";
        ASSERT_FALSE(tone1000_.empty());
        ASSERT_TRUE(lib_.Init(0, 44100));  // the silent output: these tests check data, not the device
        lib_.SetConfig(CONFIG_NET_PLAYLIST, 1);
        lib_.SetConfig(CONFIG_NET_PREBUF, 0);
        lib_.SetConfig(CONFIG_NET_BUFFER, 15000);
        lib_.SetConfig(CONFIG_NET_TIMEOUT, 10000);
        lib_.SetConfigPtr(CONFIG_NET_PROXY, nullptr);
    }

    StreamHandle Open(const std::string& url) { return lib_.StreamCreateURL(QString::fromStdString(url)); }

    IcyServer::Stream Live(const std::string& tone, int metaint = 0, const std::string& head = {}) {
        IcyServer::Stream s;
        s.head = head.empty() ? IcyServer::IcyHead("Test FM", metaint) : head;
        s.audioFile = tone;
        s.metaint = metaint;
        return s;
    }

    // A plain HTTP answer carrying a file as it is (the codecs no station program here sends).
    StreamHandle OpenFile(const std::string& mount, const std::string& file, const std::string& contentType) {
        IcyServer::Stream s;
        s.head = "HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\n";
        s.audioFile = file;
        icy_.SetStream(mount, s);
        return Open(icy_.Url(mount));
    }

    std::vector<float> Spectrum(StreamHandle h) {
        std::vector<float> bins(2048);
        EXPECT_EQ(lib_.ChannelGetData(h, bins.data(), DATA_FFT4096), 2048u * 4);
        return bins;
    }

    std::string tone440_, tone1000_;
    IcyServer icy_;  // outlives the library, so streams never see it vanish first
    AudioLibrary lib_;
};

TEST_F(IcyStreamTest, IcyAnswerGivesItsHeaderBytesAsIcyTags) {
    // A Big5 station name ("中文台") must come back byte for byte.
    const std::string big5Name = "\xA4\xA4\xA4\xE5\xA5\x78";
    icy_.SetStream("/live", Live(tone440_, 0, IcyServer::IcyHead(big5Name, 0)));
    StreamHandle h = Open(icy_.Url("/live"));
    ASSERT_NE(h, 0u);
    QByteArray expected;
    for (const std::string& line :
         {std::string("ICY 200 OK"), std::string("icy-notice1:<BR>This stream requires Winamp<BR>"),
          "icy-name:" + big5Name, std::string("icy-genre:Pop"), std::string("icy-url:http://example.invalid"),
          std::string("content-type:audio/mpeg"), std::string("icy-pub:0"), std::string("icy-br:128")}) {
        expected.append(QByteArray::fromStdString(line));
        expected.append('\0');
    }
    expected.append('\0');
    EXPECT_EQ(lib_.ChannelGetTags(h, TAG_ICY), expected);
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_HTTP).isNull());
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_META).isNull());
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_OGG).isNull());
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_MP3);
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    float freq = 0;
    ASSERT_TRUE(lib_.ChannelGetAttribute(h, ATTRIB_FREQ, &freq));
    EXPECT_EQ(freq, 44100.0f);
    // The request asked for metadata.
    ASSERT_FALSE(icy_.RequestHeads().empty());
    EXPECT_NE(icy_.RequestHeads().front().find("Icy-MetaData: 1\r\n"), std::string::npos);
}

TEST_F(IcyStreamTest, HttpAnswerGivesHttpTagsAndAMissingNameStaysMissing) {
    icy_.SetStream("/http",
                   Live(tone440_, 0, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br:128\r\n"));
    StreamHandle h = Open(icy_.Url("/http"));
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_ICY).isNull());
    const QList<QByteArray> lines = TagStrings(lib_.ChannelGetTags(h, TAG_HTTP));
    EXPECT_EQ(lines, (QList<QByteArray>{"HTTP/1.0 200 OK", "Content-Type: audio/mpeg", "icy-br:128"}));
}

TEST_F(IcyStreamTest, MetadataIsCutOutOfTheAudioAndEachChangeRaisesTheSync) {
    icy_.SetStream("/meta", Live(tone1000_, 4000));
    icy_.SetMeta("/meta", "StreamTitle='One';");
    StreamHandle h = Open(icy_.Url("/meta"));
    ASSERT_NE(h, 0u);
    int syncs = 0;
    StreamHandle stamped = 0;
    ASSERT_NE(lib_.ChannelSetSync(h, SYNC_META, 0,
                                  [&](SyncHandle, StreamHandle s, quint32) {
                                      ++syncs;
                                      stamped = s;
                                  }),
              0u);
    ASSERT_TRUE(lib_.ChannelPlay(h));
    // The first title may already have come during the connect, before the sync was set: the
    // tag holds it either way.
    ASSERT_TRUE(WaitFor([&] { return lib_.ChannelGetTags(h, TAG_META) == "StreamTitle='One';"; }, 5000));
    Pump(100);
    const int before = syncs;
    // Shift-JIS "日本" and a title that fills more than one 16-byte block.
    const std::string sjis =
        "StreamTitle='\x93\xfa\x96\x7b - a longer title than sixteen bytes';StreamUrl='';";
    icy_.SetMeta("/meta", sjis);
    ASSERT_TRUE(
        WaitFor([&] { return lib_.ChannelGetTags(h, TAG_META) == QByteArray::fromStdString(sjis); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return syncs == before + 1; }, 2000));
    EXPECT_EQ(stamped, h);
    // Had a metadata byte slipped into the audio, the decoder would have lost frames; the tone
    // still shows clean at its bin (1000 Hz: bin 93 of 4096 at 44.1 kHz).
    Pump(300);
    EXPECT_EQ(PeakBin(Spectrum(h)), 93);
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_PLAYING);
}

TEST_F(IcyStreamTest, OneTimeSyncRunsOnceAndRemovedSyncNever) {
    icy_.SetStream("/meta", Live(tone440_, 2000));
    StreamHandle h = Open(icy_.Url("/meta"));
    ASSERT_NE(h, 0u);
    int once = 0, removed = 0, always = 0;
    lib_.ChannelSetSync(h, SYNC_META | SYNC_ONETIME, 0, [&](SyncHandle, StreamHandle, quint32) { ++once; });
    SyncHandle gone =
        lib_.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) { ++removed; });
    lib_.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) { ++always; });
    EXPECT_TRUE(lib_.ChannelRemoveSync(h, gone));
    lib_.ChannelPlay(h);
    icy_.SetMeta("/meta", "StreamTitle='A';");
    ASSERT_TRUE(WaitFor([&] { return always >= 1; }, 5000));
    icy_.SetMeta("/meta", "StreamTitle='B';");
    ASSERT_TRUE(WaitFor([&] { return always >= 2; }, 5000));
    EXPECT_EQ(once, 1);
    EXPECT_EQ(removed, 0);
}

TEST_F(IcyStreamTest, SyncQueuedBeforeAFreeIsDropped) {
    icy_.SetStream("/meta", Live(tone440_, 2000));
    icy_.SetMeta("/meta", "StreamTitle='A';");
    StreamHandle h = Open(icy_.Url("/meta"));
    ASSERT_NE(h, 0u);
    int calls = 0;
    lib_.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) { ++calls; });
    lib_.ChannelPlay(h);
    // Wait without running the event loop, so the sync is queued but not delivered.
    for (int i = 0; i < 500 && lib_.ChannelGetTags(h, TAG_META).isNull(); ++i)
        QThread::msleep(10);
    ASSERT_FALSE(lib_.ChannelGetTags(h, TAG_META).isNull());
    EXPECT_TRUE(lib_.StreamFree(h));
    Pump(200);
    EXPECT_EQ(calls, 0);
}

TEST_F(IcyStreamTest, PlaylistAnswersAreFollowedToTheFirstEntryThatOpens) {
    icy_.SetStream("/live", Live(tone440_));
    const int dead = FreeLoopbackPort();
    IcyServer::Stream pls;
    pls.head = "HTTP/1.0 200 OK\r\nContent-Type: audio/x-scpls\r\n";
    pls.body = "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://127.0.0.1:" + std::to_string(dead) +
               "/gone\r\nFile2=" + icy_.Url("/live") + "\r\nLength1=-1\r\n";
    icy_.SetStream("/radio.pls", pls);
    StreamHandle h = Open(icy_.Url("/radio.pls"));
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_MP3);
    // The tags are the stream's, not the playlist's.
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_ICY).startsWith("ICY 200 OK"));

    // An .m3u recognised by its content although served as text/plain.
    IcyServer::Stream m3u;
    m3u.head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n";
    m3u.body = "#EXTM3U\n#EXTINF:-1,Test\n" + icy_.Url("/live") + "\n";
    icy_.SetStream("/radio.m3u", m3u);
    StreamHandle h2 = Open(icy_.Url("/radio.m3u"));
    EXPECT_NE(h2, 0u);

    // Without the playlist option the playlist text is no stream.
    lib_.SetConfig(CONFIG_NET_PLAYLIST, 0);
    EXPECT_EQ(Open(icy_.Url("/radio.pls")), 0u);
}

TEST_F(IcyStreamTest, ProxyOptionSendsTheRequestThroughTheProxy) {
    icy_.SetStream("/live", Live(tone440_));
    const std::string proxy = "127.0.0.1:" + std::to_string(icy_.Port());
    ASSERT_TRUE(lib_.SetConfigPtr(CONFIG_NET_PROXY, proxy.c_str()));
    const int dead = FreeLoopbackPort();
    const std::string target = "http://127.0.0.1:" + std::to_string(dead) + "/live";
    StreamHandle h = Open(target);
    ASSERT_NE(h, 0u) << "the address itself is dead: only the proxy can have answered";
    ASSERT_FALSE(icy_.RequestHeads().empty());
    EXPECT_EQ(icy_.RequestHeads().back().rfind("GET " + target + " HTTP/1.1\r\n", 0), 0u);

    // Back to no proxy: the dead address fails again.
    lib_.SetConfigPtr(CONFIG_NET_PROXY, nullptr);
    EXPECT_EQ(Open(target), 0u);
}

TEST_F(IcyStreamTest, ConnectFailuresReturnZeroWithinTheTimeOut) {
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Open("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/x"), 0u);
    EXPECT_LT(t.elapsed(), 2000);

    // Answers that never give sound: the configured time-out ends the whole connect, however the
    // server keeps it busy (silent, text for audio, one byte a second, a playlist of such).
    IcyServer::Stream silent = Live(tone440_);
    silent.delayMs = 30000;
    icy_.SetStream("/silent", silent);
    const std::string text = ScratchDir() + "/garbage.mp3";
    std::ofstream(text) << std::string(100000, 'x');
    icy_.SetStream("/garbage", Live(text));
    IcyServer::Stream drip = Live(tone440_);
    drip.bytesPerSecond = 1;
    drip.burstBytes = 0;
    icy_.SetStream("/drip", drip);
    IcyServer::Stream deadEntries;
    deadEntries.head = "HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n";
    deadEntries.body = icy_.Url("/silent") + "\n" + icy_.Url("/drip") + "\n" + icy_.Url("/garbage") + "\n";
    icy_.SetStream("/dead.m3u", deadEntries);
    lib_.SetConfig(CONFIG_NET_TIMEOUT, 1500);
    for (const char* path : {"/silent", "/garbage", "/drip", "/dead.m3u"}) {
        SCOPED_TRACE(path);
        t.restart();
        EXPECT_EQ(Open(icy_.Url(path)), 0u);
        EXPECT_GE(t.elapsed(), 1400);
        EXPECT_LT(t.elapsed(), 3000);
    }

    // 404, an unknown scheme, and an answer that is not audio at all.
    t.restart();
    EXPECT_EQ(Open(icy_.Url("/nothing-here")), 0u);
    EXPECT_EQ(lib_.StreamCreateURL(QStringLiteral("ftp://127.0.0.1/x")), 0u);
    IcyServer::Stream junk;
    junk.head = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n";
    junk.body = std::string(20000, 'x');
    icy_.SetStream("/junk", junk);
    EXPECT_EQ(Open(icy_.Url("/junk")), 0u);
    EXPECT_LT(t.elapsed(), 4000);
}

TEST_F(IcyStreamTest, AConnectAnswersFromTheEventLoopWhichRunsMeanwhile) {
    IcyServer::Stream slow = Live(tone440_);
    slow.delayMs = 800;
    icy_.SetStream("/slow", slow);
    QElapsedTimer gap;
    qint64 longest = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (ticks++ > 0)
            longest = std::max(longest, gap.elapsed());
        gap.restart();
    });
    timer.start();
    gap.start();
    std::optional<StreamHandle> h;
    lib_.StreamConnect(QString::fromStdString(icy_.Url("/slow")), [&](StreamHandle got) { h = got; });
    EXPECT_FALSE(h) << "the answer comes from the event loop, not inside the call";
    ASSERT_TRUE(WaitFor([&] { return h.has_value(); }, 5000));
    timer.stop();
    EXPECT_NE(*h, 0u);
    EXPECT_GT(ticks, 50);
    EXPECT_LT(longest, 50);
}

TEST_F(IcyStreamTest, DroppedOrClosedConnectionEndsPlaying) {
    icy_.SetStream("/live", Live(tone440_));
    StreamHandle h = Open(icy_.Url("/live"));
    ASSERT_NE(h, 0u);
    int ends = 0;
    lib_.ChannelSetSync(h, SYNC_END, 0, [&](SyncHandle, StreamHandle, quint32) { ++ends; });
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_STOPPED) << "not started yet";
    lib_.ChannelPlay(h);
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_PLAYING);
    Pump(300);
    icy_.DropAll();
    // What was buffered plays out first (the burst: about two seconds).
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelIsActive(h) != ACTIVE_PLAYING; }, 15000));
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_STOPPED);
    EXPECT_TRUE(WaitFor([&] { return ends == 1; }, 1000));
    EXPECT_FALSE(lib_.ChannelPlay(h)) << "an ended stream does not start again";

    IcyServer::Stream shortOne = Live(tone440_);
    shortOne.closeAfterBytes = 40000;
    icy_.SetStream("/short", shortOne);
    StreamHandle h2 = Open(icy_.Url("/short"));
    ASSERT_NE(h2, 0u);
    lib_.ChannelPlay(h2);
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelIsActive(h2) == ACTIVE_STOPPED; }, 15000));
}

TEST_F(IcyStreamTest, FreeingWorksInEveryStateAndStaleHandlesFailHarmlessly) {
    icy_.SetStream("/live", Live(tone440_, 4000));
    IcyServer::Stream slow = Live(tone440_);
    slow.delayMs = 3000;
    icy_.SetStream("/slow", slow);

    // While connecting: the engine is freed from a timer while the connect waits for its answer.
    {
        AudioLibrary other;
        ASSERT_TRUE(other.Init(0));
        QTimer::singleShot(200, [&] { other.Free(); });
        QElapsedTimer t;
        t.start();
        std::optional<StreamHandle> got;
        other.StreamConnect(QString::fromStdString(icy_.Url("/slow")), [&](StreamHandle h) { got = h; });
        ASSERT_TRUE(WaitFor([&] { return got.has_value(); }, 5000));
        EXPECT_EQ(*got, 0u);
        EXPECT_LT(t.elapsed(), 2000);
    }
    // Created, never played.
    StreamHandle idle = Open(icy_.Url("/live"));
    ASSERT_NE(idle, 0u);
    EXPECT_TRUE(lib_.StreamFree(idle));
    // Playing, with an effect and a sync set.
    StreamHandle playing = Open(icy_.Url("/live"));
    ASSERT_NE(playing, 0u);
    lib_.ChannelPlay(playing);
    FxHandle fx = lib_.ChannelSetFX(playing, FX_DX8_PARAMEQ, 0);
    ASSERT_NE(fx, 0u);
    lib_.ChannelSetSync(playing, SYNC_META, 0, [](SyncHandle, StreamHandle, quint32) {});
    Pump(200);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(lib_.StreamFree(playing));
    EXPECT_LT(t.elapsed(), 100);
    // Every call on a freed handle fails without harm; handles are not reused.
    EXPECT_FALSE(lib_.StreamFree(playing));
    EXPECT_FALSE(lib_.ChannelPlay(playing));
    EXPECT_EQ(lib_.ChannelIsActive(playing), ACTIVE_STOPPED);
    EXPECT_TRUE(lib_.ChannelGetTags(playing, TAG_ICY).isNull());
    EXPECT_FALSE(lib_.ChannelSlideAttribute(playing, ATTRIB_VOL, 0, 100));
    EXPECT_EQ(lib_.ChannelGetData(playing, nullptr, DATA_FFT4096), ERROR_RESULT);
    EXPECT_FALSE(lib_.FXSetParameters(fx, DX8ParamEq{}));
    EXPECT_FALSE(lib_.ChannelRemoveFX(playing, fx));
    EXPECT_FALSE(lib_.EncodeStop(playing));
    EXPECT_EQ(lib_.ChannelBytes2Seconds(playing, lib_.ChannelGetPosition(playing)), -1.0);
    EXPECT_FALSE(lib_.StreamFree(0));
    EXPECT_EQ(lib_.ChannelIsActive(0), ACTIVE_STOPPED);
    // Ended by a drop, then freed.
    StreamHandle ended = Open(icy_.Url("/live"));
    ASSERT_NE(ended, 0u);
    EXPECT_NE(ended, playing);
    lib_.ChannelPlay(ended);
    icy_.DropAll();
    ASSERT_TRUE(WaitFor([&] { return lib_.ChannelIsActive(ended) == ACTIVE_STOPPED; }, 15000));
    EXPECT_TRUE(lib_.StreamFree(ended));
    // The engine freed with two streams playing returns quickly.
    StreamHandle a = Open(icy_.Url("/live"));
    StreamHandle b = Open(icy_.Url("/live"));
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    lib_.ChannelPlay(a);
    lib_.ChannelPlay(b);
    Pump(200);
    t.restart();
    EXPECT_TRUE(lib_.Free());
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(lib_.ChannelIsActive(a), ACTIVE_STOPPED);
    EXPECT_EQ(Open(icy_.Url("/live")), 0u) << "no streams after Free until the next Init";
}

TEST_F(IcyStreamTest, VolumeSetsAndGlidesAndPositionFollowsTheClock) {
    icy_.SetStream("/live", Live(tone1000_));
    StreamHandle h = Open(icy_.Url("/live"));
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(lib_.ChannelSetAttribute(h, ATTRIB_VOL, 0.0f));
    ASSERT_TRUE(lib_.ChannelPlay(h));
    float v = -1;
    ASSERT_TRUE(lib_.ChannelGetAttribute(h, ATTRIB_VOL, &v));
    EXPECT_EQ(v, 0.0f);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(lib_.ChannelSlideAttribute(h, ATTRIB_VOL, 1.0f, 1000));
    EXPECT_TRUE(lib_.ChannelIsSliding(h, ATTRIB_VOL));
    Pump(500);
    ASSERT_TRUE(lib_.ChannelGetAttribute(h, ATTRIB_VOL, &v));
    EXPECT_GT(v, 0.2f);
    EXPECT_LT(v, 0.8f);
    ASSERT_TRUE(WaitFor([&] { return !lib_.ChannelIsSliding(h, ATTRIB_VOL); }, 2000));
    ASSERT_TRUE(lib_.ChannelGetAttribute(h, ATTRIB_VOL, &v));
    EXPECT_EQ(v, 1.0f);
    // Values beyond the range are clamped.
    lib_.ChannelSetAttribute(h, ATTRIB_VOL, 7.0f);
    lib_.ChannelGetAttribute(h, ATTRIB_VOL, &v);
    EXPECT_EQ(v, 1.0f);
    EXPECT_FALSE(lib_.ChannelSetAttribute(h, ATTRIB_FREQ, 22050.0f));
    // Played time tracks the wall clock (the silent output runs at real time).
    const double played = lib_.ChannelBytes2Seconds(h, lib_.ChannelGetPosition(h, POS_BYTE));
    const double wall = clock.elapsed() / 1000.0;
    EXPECT_NEAR(played, wall, 0.35);
}

// The connect's fade-in: volume 0, play, then the slide a moment later. Sound written before the
// slide would be silence queued ahead of the fade in the device's buffer.
TEST_F(IcyStreamTest, AStreamStartedSilentWaitsBrieflyForItsFadeIn) {
    icy_.SetStream("/live", Live(tone1000_));
    const StreamHandle fading = Open(icy_.Url("/live"));
    const StreamHandle muted = Open(icy_.Url("/live"));
    ASSERT_NE(fading, 0u);
    ASSERT_NE(muted, 0u);
    for (StreamHandle h : {muted, fading})
        lib_.ChannelSetAttribute(h, ATTRIB_VOL, 0.0f);
    ASSERT_TRUE(lib_.ChannelPlay(muted));
    QElapsedTimer sincePlay;
    sincePlay.start();
    ASSERT_TRUE(lib_.ChannelPlay(fading));
    QThread::msleep(10);
    const quint64 early = lib_.ChannelGetPosition(fading, POS_BYTE);
    // Only a check made well inside the output's wait says anything; a busy machine may come late.
    if (sincePlay.elapsed() < 40)
        EXPECT_EQ(early, 0u) << "nothing is played ahead of the slide";
    lib_.ChannelSlideAttribute(fading, ATTRIB_VOL, 1.0f, 1000);
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelGetPosition(fading, POS_BYTE) > 0; }, 2000));
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelGetPosition(muted, POS_BYTE) > 0; }, 2000))
        << "a stream left at volume 0 plays all the same";
}

TEST_F(IcyStreamTest, SpectrumShowsTheToneAtItsBinOnTheExpectedScale) {
    icy_.SetStream("/live", Live(tone1000_));
    StreamHandle h = Open(icy_.Url("/live"));
    ASSERT_NE(h, 0u);
    lib_.ChannelPlay(h);
    Pump(600);
    std::vector<float> bins = Spectrum(h);
    EXPECT_EQ(PeakBin(bins), 93);
    // The tone is a half-scale sine spread from mono to stereo at -3 dB: 0.5 x 0.707.
    EXPECT_NEAR(bins[93], 0.354f, 0.04f);
    EXPECT_LT(bins[300], 0.01f);
    // The spectrum is taken before the volume.
    lib_.ChannelSetAttribute(h, ATTRIB_VOL, 0.0f);
    Pump(300);
    EXPECT_NEAR(Spectrum(h)[93], 0.354f, 0.04f);
    // Other sizes.
    std::vector<float> small(512);
    EXPECT_EQ(lib_.ChannelGetData(h, small.data(), DATA_FFT1024), 512u * 4);
    EXPECT_EQ(PeakBin(small), 23);
    EXPECT_EQ(lib_.ChannelGetData(h, small.data(), 12345), ERROR_RESULT);
}

TEST_F(IcyStreamTest, EqualizerBandChangesTheToneLevelByItsGain) {
    icy_.SetStream("/live", Live(tone1000_));
    StreamHandle h = Open(icy_.Url("/live"));
    ASSERT_NE(h, 0u);
    lib_.ChannelPlay(h);
    Pump(600);
    const float flat = Spectrum(h)[93];
    ASSERT_GT(flat, 0.3f);

    FxHandle band = lib_.ChannelSetFX(h, FX_DX8_PARAMEQ, 0);
    ASSERT_NE(band, 0u);
    DX8ParamEq p;
    ASSERT_TRUE(lib_.FXGetParameters(band, &p));
    EXPECT_EQ(p.fGain, 0.0f);
    p.fCenter = 1000;
    p.fBandwidth = 12;
    p.fGain = -12;
    ASSERT_TRUE(lib_.FXSetParameters(band, p));
    Pump(700);
    const float cut = Spectrum(h)[93];
    EXPECT_NEAR(20 * std::log10(cut / flat), -12.0, 1.5);

    // Changed live: +6 dB on the same band.
    p.fGain = 6;
    lib_.FXSetParameters(band, p);
    Pump(700);
    EXPECT_NEAR(20 * std::log10(Spectrum(h)[93] / flat), 6.0, 1.5);
    DX8ParamEq back;
    lib_.FXGetParameters(band, &back);
    EXPECT_EQ(back.fGain, 6.0f);

    // A band far away leaves the tone alone; removing the band restores the level.
    FxHandle far = lib_.ChannelSetFX(h, FX_DX8_PARAMEQ, 0);
    lib_.FXSetParameters(far, DX8ParamEq{8000, 12, -15});
    EXPECT_TRUE(lib_.ChannelRemoveFX(h, band));
    EXPECT_FALSE(lib_.ChannelRemoveFX(h, band));
    Pump(700);
    EXPECT_NEAR(20 * std::log10(Spectrum(h)[93] / flat), 0.0, 1.0);
    // Gains beyond the range are clamped; other effect types are refused.
    lib_.FXSetParameters(far, DX8ParamEq{8000, 12, -40});
    lib_.FXGetParameters(far, &back);
    EXPECT_EQ(back.fGain, -15.0f);
    EXPECT_EQ(lib_.ChannelSetFX(h, 3, 0), 0u);
}

TEST_F(IcyStreamTest, WmaInAsfOverHttpDecodesWithItsTags) {
    // No WMA station program is at hand: ffmpeg makes the ASF file and this server sends it.
    const std::string wma = Tone(1000, "wmav2", "asf", "wma");
    ASSERT_FALSE(wma.empty());
    StreamHandle h = OpenFile("/wma", wma, "video/x-ms-asf");
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_WMA);
    const QList<QByteArray> tags = TagStrings(lib_.ChannelGetTags(h, TAG_WMA));
    EXPECT_TRUE(tags.contains("Bitrate=128000")) << lib_.ChannelGetTags(h, TAG_WMA).toStdString();
    lib_.ChannelPlay(h);
    Pump(600);
    EXPECT_EQ(PeakBin(Spectrum(h)), 93);
}

TEST_F(IcyStreamTest, OggOpusIsResampledFromItsOwnRateWithItsComments) {
    // Opus always decodes at 48 kHz: the tone must still land on its bin at the 44.1 kHz output.
    const std::string opus = Tone(1000, "libopus", "ogg", "opus", 96);
    ASSERT_FALSE(opus.empty());
    StreamHandle h = OpenFile("/opus", opus, "audio/ogg");
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_OPUS);
    EXPECT_EQ(info.chans, 2u);
    const QList<QByteArray> comments = TagStrings(lib_.ChannelGetTags(h, TAG_OGG));
    EXPECT_TRUE(std::any_of(comments.begin(), comments.end(), [](const QByteArray& c) {
        return c.startsWith("encoder=");
    })) << lib_.ChannelGetTags(h, TAG_OGG).toStdString();
    lib_.ChannelPlay(h);
    Pump(600);
    EXPECT_EQ(PeakBin(Spectrum(h)), 93);
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_PLAYING);
}

// A station that starts a new Ogg link per song: each link's comments replace the last link's.
TEST_F(IcyStreamTest, EachOggChainLinkBringsOnlyItsOwnComments) {
    const std::string chain = ScratchDir() + "/chain.opus";
    ChildProcess ff;
    ASSERT_TRUE(ff.Start({"sh", "-c",
                          "for n in 1 2 3; do ffmpeg -nostdin -loglevel error -f lavfi -i sine=duration=1.5 "
                          "-c:a libopus -fflags +bitexact -serial_offset $n -metadata \"artist=Artist $n\" "
                          "-metadata \"title=Song $n\" -f ogg -; done > " +
                              chain}));
    int status = -1;
    ASSERT_TRUE(ff.Wait(60000, &status) && status == 0);
    StreamHandle h = OpenFile("/chain", chain, "audio/ogg");
    ASSERT_NE(h, 0u);
    auto comments = [&] {
        QList<QByteArray> c = TagStrings(lib_.ChannelGetTags(h, TAG_OGG));
        c.removeIf([](const QByteArray& s) { return !s.startsWith("artist=") && !s.startsWith("title="); });
        return c.join('|').toStdString();
    };
    std::vector<std::string> seen{comments()};
    lib_.ChannelSetSync(h, SYNC_META, 0,
                        [&](SyncHandle, StreamHandle, quint32) { seen.push_back(comments()); });
    lib_.ChannelPlay(h);
    ASSERT_TRUE(WaitFor([&] { return seen.size() >= 3; }, 15000));  // the server plays the file in a loop
    seen.resize(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"artist=Artist 1|title=Song 1", "artist=Artist 2|title=Song 2",
                                              "artist=Artist 3|title=Song 3"}));
}

TEST_F(IcyStreamTest, MmsAddressToADeadHostFailsWithinTheTimeOut) {
    lib_.SetConfig(CONFIG_NET_TIMEOUT, 1500);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Open("mms://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/station"), 0u);
    EXPECT_LT(t.elapsed(), 3000);
}

}  // namespace
}  // namespace wavelot::test
