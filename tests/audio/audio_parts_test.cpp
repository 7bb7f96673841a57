// The pure parts of the back end, table-driven where the input is text, and the decoder fed
// from memory.

#include "engine/audio/continuation.h"
#include "engine/audio/decoder.h"
#include "engine/audio/encoder_feed.h"
#include "engine/audio/equalizer.h"
#include "engine/audio/icy_stream.h"
#include "engine/audio/pcm_fifo.h"
#include "engine/audio/playlist.h"
#include "engine/audio/sample_history.h"
#include "engine/audio/spectrum.h"
#include "engine/audio/volume_ramp.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace wavelot::audio {
namespace {

HeaderBlock Block(std::initializer_list<const char*> lines) {
    HeaderBlock b;
    for (const char* l : lines)
        b.AddLine(l, std::strlen(l));
    return b;
}

TEST(HeaderBlockTest, KeepsBytesDropsLineEndsAndKeepsOnlyTheLastAnswer) {
    HeaderBlock b = Block({"HTTP/1.1 302 Found\r\n", "Location: /x\r\n", "\r\n", "ICY 200 OK\r\n",
                           "icy-name:\xA4\xA4\r\n", "icy-metaint: 16000\r\n"});
    EXPECT_TRUE(b.IsIcy());
    EXPECT_EQ(b.Status(), 200);
    EXPECT_EQ(b.Tags(), QByteArray("ICY 200 OK\0icy-name:\xA4\xA4\0icy-metaint: 16000\0\0", 43));
    EXPECT_EQ(b.Value("ICY-METAINT"), "16000");
    EXPECT_TRUE(b.Value("icy-genre").isNull());
    EXPECT_TRUE(HeaderBlock().Tags().isNull());
    // The blank line is reported as the end of a block.
    HeaderBlock c;
    EXPECT_FALSE(c.AddLine("HTTP/1.0 200 OK\r\n", 17));
    EXPECT_TRUE(c.AddLine("\r\n", 2));
    EXPECT_FALSE(c.IsIcy());
}

struct CutCase {
    const char* name;
    int metaint;
    std::string body;
    size_t chunk;
    std::string audio;
    std::vector<std::string> metas;
};

TEST(MetaintCutterTest, SplitsAudioAndMetadataWhateverTheChunking) {
    const std::string meta1 = std::string("StreamTitle='A';");  // exactly 16 bytes
    std::string padded2 = "StreamTitle='Long one';";
    padded2.resize(32, '\0');
    const std::vector<CutCase> cases = {
        {"no metaint", 0, "abcdef", 2, "abcdef", {}},
        {"empty blocks", 4, std::string("abcd\0efgh\0ij", 12), 3, "abcdefghij", {}},
        {"one block", 4, "abcd\x01" + meta1 + "efgh", 1, "abcdefgh", {meta1}},
        {"padded block",
         3,
         "abc\x02" + padded2 + "def" + std::string(1, '\0'),
         7,
         "abcdef",
         {"StreamTitle='Long one';"}},
        {"all at once", 2, "ab\x01" + meta1 + "cd\x01" + meta1, 1000, "abcd", {meta1, meta1}},
    };
    for (const CutCase& c : cases) {
        MetaintCutter cut(c.metaint);
        std::string audio;
        std::vector<std::string> metas;
        for (size_t i = 0; i < c.body.size(); i += c.chunk) {
            const size_t n = std::min(c.chunk, c.body.size() - i);
            cut.Feed(
                c.body.data() + i, n, [&](const char* p, size_t m) { audio.append(p, m); },
                [&](const QByteArray& m) { metas.push_back(m.toStdString()); });
        }
        EXPECT_EQ(audio, c.audio) << c.name;
        EXPECT_EQ(metas, c.metas) << c.name;
    }
}

TEST(PlaylistTest, RecognisesPlaylistsByTypeOrContent) {
    struct Case {
        const char* type;
        const char* body;
        bool playlist;
    };
    const Case cases[] = {
        {"audio/x-scpls", "anything", true},
        {"audio/x-mpegurl; charset=utf-8", "", true},
        {"application/vnd.apple.mpegurl", "", true},
        {"audio/mpeg", "[playlist]", false},
        {"text/plain", "[Playlist]\nFile1=http://a/", true},
        {"", "#EXTM3U\n", true},
        {"text/html", "http://host:8000/stream\n", true},
        {"text/html", "<html>", false},
        {"application/octet-stream", "\xFF\xFB\x90\x00", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LooksLikePlaylist(c.type, c.body), c.playlist) << c.type << " / " << c.body;
}

TEST(PlaylistTest, ReadsEntriesInOrder) {
    EXPECT_EQ(ParsePlaylist(
                  "[playlist]\r\nFile2=http://b/\r\nTitle1=x\r\nFile1=http://a/\r\nNumberOfEntries=2\r\n"),
              (QList<QByteArray>{"http://a/", "http://b/"}));
    EXPECT_EQ(
        ParsePlaylist("\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Radio\nhttp://a:8000/s\n\nrelative.mp3\nmms://c/d\n"),
        (QList<QByteArray>{"http://a:8000/s", "mms://c/d"}));
    EXPECT_TRUE(ParsePlaylist("[playlist]\nFile1=\nNumberOfEntries=1\n").isEmpty());
    EXPECT_TRUE(ParsePlaylist("<html>not a list</html>").isEmpty());
}

// The addresses a connect asks for while the answers are the lists given (any other address is
// dead), or, with none given, each a list of five new lists.
TEST(PlaylistTest, ResolverAsksEachAddressOnceDepthFirstWithinItsLimits) {
    auto asked = [](std::map<QByteArray, QByteArray> lists) {
        PlaylistResolver r("http://a/");
        QList<QByteArray> out;
        const bool wide = lists.empty();
        for (QByteArray url = r.Next(); !url.isEmpty(); url = r.Next()) {
            out.append(url);
            for (int i = 0; i < 5 && wide; ++i)
                lists[url] += url + QByteArray::number(i) + "/\n";
            r.AddPlaylist(lists[url]);
        }
        return out;
    };
    EXPECT_EQ(asked({{"http://a/", "http://b/\nhttp://c/"}, {"http://b/", "http://a/\nhttp://d/"}}),
              (QList<QByteArray>{"http://a/", "http://b/", "http://d/", "http://c/"}));
    EXPECT_EQ(asked({{"http://a/", "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\nhttp://s/1.ts\n"}}).size(),
              1);
    EXPECT_EQ(asked({}).size(), PlaylistLimits{}.maxRequests);
}

TEST(WavHeaderTest, OpenEndedSizes) {
    const std::string h = OpenEndedWavHeader(44100, 2);
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(h.substr(0, 4), "RIFF");
    EXPECT_EQ(h.substr(4, 4), std::string(4, '\xFF'));
    EXPECT_EQ(h.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(h.substr(36, 4), "data");
    EXPECT_EQ(h.substr(40, 4), std::string(4, '\xFF'));
    // 44100 Hz, 176400 bytes per second, 4-byte frames, 16 bits.
    EXPECT_EQ(h.substr(24, 4), std::string("\x44\xAC\x00\x00", 4));
    EXPECT_EQ(h.substr(28, 4), std::string("\x10\xB1\x02\x00", 4));
    EXPECT_EQ(h.substr(32, 4), std::string("\x04\x00\x10\x00", 4));
}

TEST(VolumeRampTest, GlidesLinearlyAndLandsOnTheTarget) {
    VolumeRamp r;
    r.Set(0.0f);
    r.Slide(1.0f, 100);
    std::vector<float> frames(2 * 50, 1.0f);
    r.Apply(frames.data(), 50);
    EXPECT_NEAR(r.Value(), 0.5f, 0.02f);
    EXPECT_TRUE(r.Sliding());
    // Sample by sample: no step bigger than one increment.
    for (size_t i = 1; i < 50; ++i)
        EXPECT_NEAR(frames[2 * i] - frames[2 * i - 2], 0.01f, 0.001f);
    std::vector<float> more(2 * 80, 1.0f);
    r.Apply(more.data(), 80);
    EXPECT_EQ(r.Value(), 1.0f);
    EXPECT_FALSE(r.Sliding());
    EXPECT_EQ(more.back(), 1.0f);
    r.Slide(-3.0f, 0);
    EXPECT_EQ(r.Value(), 0.0f);
}

TEST(SpectrumTest, FullScaleSineOnABinCentreReadsOne) {
    const size_t n = 4096;
    std::vector<float> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = float(std::sin(2 * M_PI * 93.0 * double(i) / double(n)));
    std::vector<float> bins(n / 2);
    ASSERT_TRUE(MagnitudeSpectrum(s, bins.data()));
    EXPECT_NEAR(bins[93], 1.0f, 0.01f);
    EXPECT_NEAR(bins[92], 0.5f, 0.01f);  // the Hann window's neighbours
    EXPECT_LT(bins[200], 1e-4f);
    EXPECT_FALSE(MagnitudeSpectrum(std::vector<float>(1000), bins.data()));

    SpectrumSnapshot snap;
    std::vector<float> stereo = {1, 0, 0.5f, 0.5f};
    snap.Append(stereo.data(), 2);
    EXPECT_EQ(snap.Last(3), (std::vector<float>{0.0f, 0.5f, 0.5f}));
}

// The decoder pushes batches larger than the FIFO while the output pops blocks of another size:
// every frame comes out once, in order, across the ring's wraps and the producer's waits.
TEST(PcmFifoTest, FramesComeOutInOrderAcrossWrapsAndWaits) {
    PcmFifo fifo(1000);
    constexpr size_t kTotal = 25000;
    std::thread producer([&] {
        std::vector<float> batch;
        for (size_t next = 0; next < kTotal;) {
            const size_t n = std::min<size_t>(next % 3 == 0 ? 1700 : 333, kTotal - next);
            batch.clear();
            for (size_t i = 0; i < n; ++i, ++next)
                batch.insert(batch.end(), {float(next), -float(next)});
            ASSERT_TRUE(fifo.Push(batch.data(), n));
        }
        fifo.SetEnd();
    });
    std::vector<float> block(2 * 441);
    size_t expected = 0;
    bool ordered = true;
    while (!fifo.EndedAndEmpty()) {
        const size_t n = fifo.Pop(block.data(), 441, 1000);
        for (size_t i = 0; i < n; ++i, ++expected)
            ordered = ordered && block[2 * i] == float(expected) && block[2 * i + 1] == -float(expected);
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(expected, kTotal);
    // A producer waiting on a full FIFO is released by Abort.
    PcmFifo full(10);
    std::vector<float> eleven(22, 0.5f);
    std::thread blocked([&] { EXPECT_FALSE(full.Push(eleven.data(), 11)); });
    while (full.Frames() < 10)
        std::this_thread::yield();
    full.Abort();
    blocked.join();
}

TEST(SampleHistoryTest, HoldsTheLastFramesByIndexAndKeepsThemWhenItGrows) {
    // Frame i is (i, -i) in 16-bit steps.
    const auto append = [](SampleHistory& h, int from, int count) {
        std::vector<float> frames;
        for (int i = from; i < from + count; ++i)
            frames.insert(frames.end(), {float(i) / 32767, float(-i) / 32767});
        h.Append(frames.data(), size_t(count));
    };
    const auto held = [](const SampleHistory& h) {
        std::vector<int16_t> out(2 * (h.End() - h.Start()));
        EXPECT_EQ(h.Read(h.Start(), out.size() / 2, out.data()), out.size() / 2);
        std::vector<int> left;
        for (size_t i = 0; i < out.size(); i += 2) {
            EXPECT_EQ(out[i], -out[i + 1]);
            left.push_back(out[i]);
        }
        return left;
    };
    const auto range = [](int from, int to) {
        std::vector<int> v;
        for (int i = from; i < to; ++i)
            v.push_back(i);
        return v;
    };
    SampleHistory h(10);
    append(h, 0, 25);  // wrapped twice
    EXPECT_EQ(h.Start(), 15u);
    EXPECT_EQ(held(h), range(15, 25));
    int16_t one[2];
    EXPECT_EQ(h.Read(14, 1, one), 0u) << "gone";
    EXPECT_EQ(h.Read(25, 1, one), 0u) << "not yet decoded";
    h.Reserve(16);
    EXPECT_EQ(held(h), range(15, 25));
    append(h, 25, 20);
    EXPECT_EQ(h.Start(), 29u);
    EXPECT_EQ(held(h), range(29, 45));
    const SampleHistory::Mono mono = h.MonoMix(40, 100);
    EXPECT_EQ(mono.first, 40u);
    EXPECT_EQ(mono.samples, std::vector<int16_t>(5, 0));
}

// Sound that never repeats itself: twelve sines of random pitch and phase, sampled from time
// `from` (seconds) on, shifted by `shift` samples.
std::vector<int16_t> Music(unsigned seed, double from, double seconds, double shift = 0) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pitch(80, 4000), phase(0, 2 * M_PI);
    std::vector<std::pair<double, double>> sines(12);
    for (auto& [f, p] : sines)
        f = pitch(rng), p = phase(rng);
    std::vector<int16_t> out(size_t(seconds * 44100));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = from + (double(i) + shift) / 44100;
        double v = 0;
        for (const auto& [f, p] : sines)
            v += std::sin(2 * M_PI * f * t + p);
        out[i] = int16_t(std::lrint(v * 1000));
    }
    return out;
}

std::vector<int16_t> Sine(double seconds, double from = 0) {
    std::vector<int16_t> out(size_t(seconds * 44100));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(std::lrint(8000 * std::sin(2 * M_PI * 440 * (from + double(i) / 44100))));
    return out;
}

TEST(ContinuationTest, FindsTheFirstFrameTheTailDoesNotHoldOrNothing) {
    // The old stream ended at 8 s of its sound; the new one (first frame 1000) starts at `from`.
    struct Case {
        const char* what;
        std::vector<int16_t> tail, fresh;
        std::optional<qint64> begin;  // expected, as an offset from the new stream's first frame
    };
    const Case cases[] = {
        {"a burst of three seconds", Music(1, 0, 8), Music(1, 5, 4), 3 * 44100},
        {"resampled half a sample apart", Music(2, 0, 8), Music(2, 6.5, 4, 0.5), int(1.5 * 44100)},
        {"a burst longer than the tail", Music(3, 2, 6), Music(3, 0.5, 4), std::nullopt},
        {"a gap: nothing repeated", Music(4, 0, 8), Music(4, 9, 4), std::nullopt},
        {"another station", Music(5, 0, 8), Music(6, 0, 4), std::nullopt},
        {"too short to tell", Music(7, 0, 8), Music(7, 7.7, 4), std::nullopt},
        {"a steady tone", Sine(8), Sine(4, 5), std::nullopt},
        {"silence", std::vector<int16_t>(8 * 44100), std::vector<int16_t>(4 * 44100), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<quint64> found = FindContinuation({44100, c.tail}, 1000, c.fresh);
        ASSERT_EQ(found.has_value(), c.begin.has_value());
        if (found) {
            EXPECT_NEAR(qint64(*found) - 1000, *c.begin, 1);
        }
    }
}

double ToneLevel(EqualizerChain& eq, double hz, int rate = 44100) {
    std::vector<float> frames(2 * 8192);
    double sum = 0;
    size_t counted = 0;
    for (int block = 0; block < 4; ++block) {
        for (size_t i = 0; i < 8192; ++i) {
            const float v = float(0.25 * std::sin(2 * M_PI * hz * double(block * 8192 + i) / rate));
            frames[2 * i] = frames[2 * i + 1] = v;
        }
        eq.Process(frames.data(), 8192);
        if (block >= 2) {  // after the filters settled
            for (size_t i = 0; i < 8192; ++i, ++counted)
                sum += double(frames[2 * i]) * frames[2 * i];
        }
    }
    return std::sqrt(sum / double(counted));
}

TEST(EqualizerChainTest, BandsCutAndBoostAtTheirCentreAndChangeLive) {
    EqualizerChain eq(44100);
    const double flat = ToneLevel(eq, 1000);
    EXPECT_NEAR(flat, 0.25 / std::sqrt(2.0), 0.002);
    eq.Configure({EqBand{1, 0, DX8ParamEq{1000, 12, -12}}, EqBand{2, 0, DX8ParamEq{8000, 12, 0}}});
    EXPECT_NEAR(20 * std::log10(ToneLevel(eq, 1000) / flat), -12.0, 0.5);
    EXPECT_NEAR(20 * std::log10(ToneLevel(eq, 100) / flat), 0.0, 1.0);
    eq.Configure({EqBand{1, 0, DX8ParamEq{1000, 12, 9}}, EqBand{2, 0, DX8ParamEq{8000, 12, 0}}});
    EXPECT_NEAR(20 * std::log10(ToneLevel(eq, 1000) / flat), 9.0, 0.5);
    eq.Configure({});
    EXPECT_NEAR(ToneLevel(eq, 1000), flat, 0.002);
}

TEST(EqualizerChainTest, ParametersAreClampedToUsableRanges) {
    const DX8ParamEq p = ClampParamEq(DX8ParamEq{30000, 0.1f, 99}, 44100);
    EXPECT_LT(p.fCenter, 22050.0f);
    EXPECT_EQ(p.fBandwidth, 1.0f);
    EXPECT_EQ(p.fGain, 15.0f);
    EXPECT_EQ(ClampParamEq(DX8ParamEq{31, 12, -3}, 44100).fCenter, 31.0f);
}

// Feeds the decoder from memory and keeps what it hands back.
class MemoryHost : public DecoderHost {
public:
    explicit MemoryHost(QByteArray input) : input_(std::move(input)) {}
    size_t ReadInput(char* out, size_t max) override {
        const size_t n = std::min(max, size_t(input_.size()) - pos_);
        std::memcpy(out, input_.constData() + pos_, n);
        pos_ += n;
        return n;
    }
    bool Aborted() const override { return false; }
    void OnFormat(const SourceFormat& format) override { formats.push_back(format); }
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float* frames, size_t count, qint64, size_t) override {
        pcm.insert(pcm.end(), frames, frames + count * 2);
        return true;
    }

    std::vector<SourceFormat> formats;
    std::vector<float> pcm;

private:
    QByteArray input_;
    size_t pos_ = 0;
};

// One second of a 1 kHz MP3 tone without the Xing frame and ID3 tag, so that tones join into
// one stream.
QByteArray JoinableMp3Tone(int rate, int channels) {
    const std::string path = test::ScratchDir() + "/join" + std::to_string(rate) + ".mp3";
    test::ChildProcess ff;
    int status = -1;
    if (!ff.Start({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                   "sine=frequency=1000:sample_rate=" + std::to_string(rate) + ":duration=1", "-ac",
                   std::to_string(channels), "-c:a", "libmp3lame", "-write_xing", "0", "-id3v2_version", "0",
                   path}) ||
        !ff.Wait(60000, &status) || status != 0)
        return {};
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DecoderTest, EmptyInputFailsAtTheOpen) {
    // The open fails with the custom I/O attached; the sanitizer build shows whether it is freed.
    MemoryHost host({});
    EXPECT_FALSE(Decoder(host, 44100).Run({}, {}, 2000));
    EXPECT_TRUE(host.formats.empty());
}

TEST(DecoderTest, RateAndLayoutChangeMidStreamRebuildTheConversion) {
    const QByteArray stereo = JoinableMp3Tone(44100, 2);
    const QByteArray mono = JoinableMp3Tone(22050, 1);
    ASSERT_FALSE(stereo.isEmpty() || mono.isEmpty()) << "ffmpeg must be installed to make the test tones";
    MemoryHost host(stereo + mono);
    EXPECT_TRUE(Decoder(host, 44100).Run("audio/mpeg", {}, 2000));
    // The decoder may give a frame of mixed format at the join.
    ASSERT_GE(host.formats.size(), 2u);
    EXPECT_EQ(host.formats.front().freq, 44100);
    EXPECT_EQ(host.formats.front().chans, 2);
    EXPECT_EQ(host.formats.back().freq, 22050);
    EXPECT_EQ(host.formats.back().chans, 1);
    // The second tone keeps its pitch: 1 kHz crosses zero 1000 times in half a second (taken
    // before the encoder's closing padding).
    const size_t frames = host.pcm.size() / 2;
    ASSERT_GT(frames, size_t(44100 * 3 / 2));
    int crossings = 0;
    for (size_t i = frames - 26460; i < frames - 4410; ++i)
        crossings += (host.pcm[2 * i] < 0) != (host.pcm[2 * i + 2] < 0);
    EXPECT_NEAR(crossings, 1000, 20);
}

}  // namespace
}  // namespace wavelot::audio
