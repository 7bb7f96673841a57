// Where the sound goes: the encoder feed through the real lame program, and a PulseAudio
// server's null sink read back through its monitor.

#include "engine/audio/audio_library.h"
#include "engine/audio/encoder_feed.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/pulse_rig.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <fstream>
#include <iterator>

namespace wavelot::test {
namespace {

using namespace audio;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Decodes a file with the ffmpeg program to interleaved stereo float at 44.1 kHz.
std::vector<float> DecodeFile(const std::string& path) {
    const std::string raw = path + ".f32";
    ChildProcess ff;
    int status = -1;
    if (!ff.Start({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", path, "-f", "f32le", "-ac", "2",
                   "-ar", "44100", raw}) ||
        !ff.Wait(30000, &status) || status != 0)
        return {};
    const std::string bytes = ReadAll(raw);
    std::vector<float> out(bytes.size() / sizeof(float));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    return out;
}

class OutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { App(); }
    void SetUp() override {
        tone_ = Tone(1000);
        ASSERT_FALSE(tone_.empty()) << "ffmpeg must be installed";
        IcyServer::Stream s;
        s.head = IcyServer::IcyHead("Test FM", 8000);
        s.audioFile = tone_;
        s.metaint = 8000;
        icy_.SetStream("/live", s);
    }
    StreamHandle OpenPlaying(AudioLibrary& lib) {
        StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy_.Url("/live")));
        if (h)
            lib.ChannelPlay(h);
        return h;
    }
    std::string tone_;
    IcyServer icy_;
};

TEST_F(OutputTest, LameRecordingIsAPlayableMp3OfTheRightLengthAndTone) {
    ASSERT_TRUE(ProgramAvailable("lame")) << "lame must be installed";
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0));
    StreamHandle h = OpenPlaying(lib);
    ASSERT_NE(h, 0u);
    // A path with spaces and shell characters: the argument vector keeps it one argument.
    const std::string out = ScratchDir() + "/rec $(x) 'a'.mp3";
    EncoderHandle enc =
        lib.EncodeStart(h, {QStringLiteral("lame"), QStringLiteral("-"), QString::fromStdString(out),
                            QStringLiteral("-b"), QStringLiteral("128")});
    ASSERT_NE(enc, 0u);
    EXPECT_EQ(lib.EncodeIsActive(enc), ACTIVE_PLAYING);
    bool finished = false;
    lib.EncodeSetNotify(enc,
                        [&](EncoderHandle, quint32 status) { finished |= status == ENCODE_NOTIFY_FREE; });
    Pump(3000);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(lib.EncodeStop(enc));
    EXPECT_LT(t.elapsed(), 100) << "the stop waits for no program";
    EXPECT_EQ(lib.EncodeIsActive(enc), ACTIVE_STOPPED);
    ASSERT_TRUE(WaitFor([&] { return finished; }, 3000));
    const std::vector<float> pcm = DecodeFile(out);
    const double seconds = double(pcm.size() / 2) / 44100.0;
    // Three seconds played, plus what the decoder ran ahead of the output (a quarter second).
    EXPECT_NEAR(seconds, 3.1, 0.45);
    EXPECT_NEAR(EstimateFrequency(pcm, 44100), 1000.0, 5.0);
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PLAYING) << "stopping the encoder leaves the stream playing";
}

TEST_F(OutputTest, TheFeedIsAnOpenEndedWavStreamAfterTheEffects) {
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0));
    StreamHandle h = OpenPlaying(lib);
    ASSERT_NE(h, 0u);
    FxHandle cut = lib.ChannelSetFX(h, FX_DX8_PARAMEQ, 0);
    lib.FXSetParameters(cut, DX8ParamEq{1000, 12, -15});
    lib.ChannelSetAttribute(h, ATTRIB_VOL, 0.1f);  // the volume is not part of the feed
    Pump(400);
    const std::string out = ScratchDir() + "/feed.wav";
    EncoderHandle enc = lib.EncodeStart(h, {QStringLiteral("sh"), QStringLiteral("-c"),
                                            QStringLiteral("cat > \"$0\""), QString::fromStdString(out)});
    ASSERT_NE(enc, 0u);
    int finished = 0;
    const auto count = [&](EncoderHandle, quint32 status) { finished += status == ENCODE_NOTIFY_FREE; };
    lib.EncodeSetNotify(enc, count);
    Pump(1000);
    ASSERT_TRUE(lib.EncodeStop(h));  // by the stream's handle: all its encoders
    ASSERT_TRUE(WaitFor([&] { return finished == 1; }, 3000));
    const std::string bytes = ReadAll(out);
    ASSERT_GT(bytes.size(), 44u + 44100u * 4 / 2);
    EXPECT_EQ(bytes.substr(0, 44), OpenEndedWavHeader(44100, 2));
    std::vector<float> pcm;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        pcm.push_back(float(int16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8))) / 32768.0f);
    // 0.354 before the -15 dB band: about 0.063 peak, 0.045 RMS; the 0.1 volume would give 0.025.
    EXPECT_NEAR(Rms(pcm, 4410), 0.354 / std::sqrt(2.0) * std::pow(10.0, -15.0 / 20), 0.01);
    // Without a header when asked.
    const std::string raw = ScratchDir() + "/feed.raw";
    enc = lib.EncodeStart(h,
                          {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat > \"$0\""),
                           QString::fromStdString(raw)},
                          ENCODE_NOHEAD);
    lib.EncodeSetNotify(enc, count);
    Pump(300);
    lib.EncodeStop(enc);
    ASSERT_TRUE(WaitFor([&] { return finished == 2; }, 3000));
    EXPECT_NE(ReadAll(raw).substr(0, 4), "RIFF");
}

TEST_F(OutputTest, SwitchHandsTheSoundOnWithoutAGapAndNotifiesEachEnd) {
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0));
    StreamHandle h = OpenPlaying(lib);
    std::vector<std::pair<EncoderHandle, quint32>> notes;
    const auto start = [&](const std::string& file) {
        const EncoderHandle e =
            lib.EncodeSwitch(h, {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat > \"$0\""),
                                 QString::fromStdString(file)});
        lib.EncodeSetNotify(e, [&](EncoderHandle enc, quint32 status) { notes.emplace_back(enc, status); });
        return e;
    };
    const std::string a = ScratchDir() + "/a.wav", b = ScratchDir() + "/b.wav";
    const EncoderHandle first = start(a);
    Pump(700);
    const EncoderHandle second = start(b);
    EXPECT_EQ(lib.EncodeIsActive(first), ACTIVE_STOPPED);
    Pump(300);
    lib.StreamFree(h);  // the end notifications come all the same
    EXPECT_TRUE(WaitFor([&] { return notes.size() == 2; }, 3000));
    EXPECT_EQ(notes, (decltype(notes){{first, ENCODE_NOTIFY_FREE}, {second, ENCODE_NOTIFY_FREE}}));

    // A 1 kHz sine obeys x[n] = 2 cos(w) x[n-1] - x[n-2]; a sample lost or repeated at the
    // switch breaks that where the second file begins. (Left channel, 16-bit, after the header.)
    std::vector<double> x;
    for (const std::string& wav : {ReadAll(a), ReadAll(b)})
        for (size_t i = 44; i + 3 < wav.size(); i += 4)
            x.push_back(double(int16_t(uint8_t(wav[i]) | (uint8_t(wav[i + 1]) << 8))) / 32768.0);
    const size_t junction = (ReadAll(a).size() - 44) / 4;
    ASSERT_GT(junction, 22050u);
    const double c = 2 * std::cos(2 * M_PI * 1000.0 / 44100.0);
    const auto residual = [&](size_t n) { return std::fabs(x[n] - (c * x[n - 1] - x[n - 2])); };
    double inside = 0.003;  // 16-bit rounding and the MP3's own noise, a little more
    for (size_t n = junction - 4410; n < junction; ++n)
        inside = std::max(inside, residual(n));
    EXPECT_LT(std::max(residual(junction), residual(junction + 1)), 3 * inside);
}

TEST_F(OutputTest, EncodersThatCannotStartDieOrHangNeverHoldUpPlayback) {
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(0));
    StreamHandle h = OpenPlaying(lib);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(lib.EncodeStart(h, {QStringLiteral("/nonexistent/lame"), QStringLiteral("-")}), 0u);
    EXPECT_EQ(lib.EncodeStart(h, {QStringLiteral("no-such-encoder-program")}), 0u);
    EXPECT_EQ(lib.EncodeStart(h, {}), 0u);
    EXPECT_EQ(lib.EncodeStart(0, {QStringLiteral("lame")}), 0u);

    // One that exits at once, one that never reads its input.
    EncoderHandle dies = lib.EncodeStart(h, {QStringLiteral("true")});
    EncoderHandle hangs = lib.EncodeStart(h, {QStringLiteral("sleep"), QStringLiteral("60")});
    ASSERT_NE(dies, 0u);
    ASSERT_NE(hangs, 0u);
    const double before = lib.ChannelBytes2Seconds(h, lib.ChannelGetPosition(h));
    EXPECT_TRUE(WaitFor([&] { return lib.EncodeIsActive(dies) == ACTIVE_STOPPED; }, 3000));
    // The hung one is dropped once it is several seconds behind (its pipe holds a little).
    EXPECT_TRUE(WaitFor([&] { return lib.EncodeIsActive(hangs) == ACTIVE_STOPPED; }, 12000));
    const double after = lib.ChannelBytes2Seconds(h, lib.ChannelGetPosition(h));
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PLAYING);
    EXPECT_GT(after - before, 4.0) << "playback went on at real time meanwhile";
    QElapsedTimer t;
    t.start();
    lib.EncodeStop(h);
    EXPECT_TRUE(lib.StreamFree(h));
    // Both were dropped already: nothing waits for the three-second grace of a live encoder.
    EXPECT_LT(t.elapsed(), 2000);
}

TEST_F(OutputTest, PulseAudioNullSinkGetsTheToneThatWasSent) {
    PulseRig pulse;
    ASSERT_TRUE(pulse.Start()) << pulse.Error();
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(-1, 44100));
    ASSERT_TRUE(lib.UsingSoundServer());
    ASSERT_TRUE(pulse.StartRecording());
    StreamHandle h = OpenPlaying(lib);
    ASSERT_NE(h, 0u);
    // The null sink starts taking a new stream's sound only after about 1.5 s (measured with
    // pa_simple alone too); real devices start at once.
    Pump(4000);
    std::vector<float> heard = pulse.StopRecording();
    ASSERT_GT(heard.size(), 44100u);
    EXPECT_NEAR(EstimateFrequency(heard, 44100), 1000.0, 5.0);
    EXPECT_NEAR(Rms(heard), 0.354 / std::sqrt(2.0), 0.08);

    // Volume 0 is silence at the device.
    lib.ChannelSetAttribute(h, ATTRIB_VOL, 0.0f);
    Pump(400);
    ASSERT_TRUE(pulse.StartRecording());
    Pump(800);
    EXPECT_LT(Rms(pulse.StopRecording()), 0.005);

    // The server goes away mid-stream: the stream carries on through the silent output.
    pulse.Stop();
    const double before = lib.ChannelBytes2Seconds(h, lib.ChannelGetPosition(h));
    Pump(1500);
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PLAYING);
    EXPECT_GT(lib.ChannelBytes2Seconds(h, lib.ChannelGetPosition(h)) - before, 1.0);
    lib.StreamFree(h);
}

TEST(OutputFallbackTest, WithoutASoundServerTheSilentOutputPlaysAtRealTime) {
    App();
    setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
    AudioLibrary lib;
    ASSERT_TRUE(lib.Init(-1, 44100));
    EXPECT_FALSE(lib.UsingSoundServer());
    unsetenv("PULSE_SERVER");
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Test FM", 0);
    s.audioFile = Tone(440);
    icy.SetStream("/live", s);
    StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy.Url("/live")));
    ASSERT_NE(h, 0u);
    lib.ChannelPlay(h);
    QElapsedTimer t;
    t.start();
    Pump(1500);
    EXPECT_EQ(lib.ChannelIsActive(h), ACTIVE_PLAYING);
    EXPECT_NEAR(lib.ChannelBytes2Seconds(h, lib.ChannelGetPosition(h)), t.elapsed() / 1000.0, 0.5);
}

}  // namespace
}  // namespace wavelot::test
