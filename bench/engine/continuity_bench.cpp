// Unbroken recordings measured on loopback against the tests' ICY server (silent output at real
// time). The encoders are `cat` writing WAV, so every sample can be counted, and each file is
// located sample-exactly in the station's own sound (the same MP3 decoded by the ffmpeg program).
//
//   engine_continuity_bench --benchmark_filter=Split
//     A 44.1 kHz station of three songs, with the titles of the second and third in the frame
//     before their song's first. Counters: split_error_samples (where a file began less
//     the first sample of the frame after its title, worst of the two splits), lost_or_doubled
//     (samples between one file's end and the next one's beginning, summed over the splits; 0 is
//     contiguous), switch_after_ms (from the title's frame being decoded to the switch: what the
//     encoders' three-second delay has to cover), history_idle_kib and history_recording_kib.
//   engine_continuity_bench --benchmark_filter=Overlap
//     A live station of noise with a six-second burst; the server goes away, the stream ends, a
//     new stream begins a recording after the old one's tail. Counters: burst_repeat_s (what the
//     new stream repeated), begin_error_samples (where the new recording began less the true first
//     new sample, found by exact comparison), search_ms (new stream created to begin known),
//     tail_kib.
//   engine_continuity_bench --benchmark_filter=Search
//     The search alone (CPU time) for a 20 s tail and a burst that repeats its last 3 s.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>

#include "engine/audio/audio_library.h"
#include "engine/audio/continuation.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/station_sound.h"

namespace wavelot {
namespace {

using namespace audio;
using test::IcyServer;

using test::App;
using test::WaitFor;

QStringList Cat(const std::string& file) {
    return {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat > \"$0\""),
            QString::fromStdString(file)};
}

// The left channel of a WAV written by an encoder feed (44-byte header, 16-bit stereo).
std::vector<float> WavLeft(const std::string& file) {
    QFile f(QString::fromStdString(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray b = f.readAll();
    std::vector<float> out;
    for (qsizetype i = 44; i + 3 < b.size(); i += 4)
        out.push_back(float(int16_t(uint8_t(b[i]) | (uint8_t(b[i + 1]) << 8))) / 32767.0f);
    return out;
}

// The left channel of an MP3 decoded by the ffmpeg program, as float.
std::vector<float> DecodedLeft(const std::string& file) {
    QProcess ff;
    ff.start(QStringLiteral("ffmpeg"),
             {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
              QStringLiteral("-i"), QString::fromStdString(file), QStringLiteral("-af"),
              QStringLiteral("pan=mono|c0=c0"), QStringLiteral("-f"), QStringLiteral("f32le"),
              QStringLiteral("-")});
    if (!ff.waitForFinished(60000))
        return {};
    const QByteArray b = ff.readAllStandardOutput();
    std::vector<float> out(size_t(b.size()) / 4);
    std::memcpy(out.data(), b.constData(), out.size() * 4);
    return out;
}

// Where `piece` lies in `whole`, searched near `around`: the offset where all its samples agree
// (within 16-bit rounding), or nullopt.
std::optional<size_t> Locate(const std::vector<float>& whole, const float* piece, size_t n, size_t around,
                             size_t radius) {
    const size_t from = around > radius ? around - radius : 0;
    for (size_t at = from; at <= around + radius && at + n <= whole.size(); ++at) {
        size_t i = 0;
        while (i < n && std::fabs(whole[at + i] - piece[i]) < 3e-4f)
            ++i;
        if (i == n)
            return at;
    }
    return std::nullopt;
}

// Frame sizes of an MPEG-1 Layer III stream at 44.1 kHz (bit rate from the header, padding bit).
std::vector<int> FrameSizes(const QByteArray& mp3) {
    static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    std::vector<int> sizes;
    for (qsizetype at = 0; at + 4 <= mp3.size();) {
        const auto b2 = uint8_t(mp3[at + 2]);
        const int size = 144 * kKbps[b2 >> 4] * 1000 / 44100 + ((b2 >> 1) & 1);
        if (uint8_t(mp3[at]) != 0xFF || size <= 4)
            break;
        sizes.push_back(size);
        at += size;
    }
    return sizes;
}

// The first frames of mp3 up to the first frame boundary at or after byte `upTo`.
QByteArray CutAtFrame(const QByteArray& mp3, qsizetype upTo) {
    qsizetype at = 0;
    for (int size : FrameSizes(mp3)) {
        if (at >= upTo)
            break;
        at += size;
    }
    return mp3.left(at);
}

void BM_Split(benchmark::State& state) {
    App();
    const std::string dir = test::MakeTempDir("wavelot-split-bench");
    // Songs of noise, each its own (a tone would repeat itself and could not be located), cut so
    // that B begins at the first frame boundary after byte 40000 and C after 88000.
    const auto song = [](int seed, double s) {
        return test::StationMp3(
            QStringLiteral("anoisesrc=color=pink:amplitude=0.5:seed=%1:sample_rate=44100:duration=%2")
                .arg(seed)
                .arg(s),
            44100, true);
    };
    const QByteArray a = CutAtFrame(song(1, 4), 40000);
    const QByteArray b = CutAtFrame(song(2, 4), 88000 - a.size());
    const QByteArray all = a + b + song(3, 8);
    const std::string source = test::WriteBytes(dir + "/songs.mp3", all);
    const std::vector<float> truth = DecodedLeft(source);
    const quint64 startB = quint64(FrameSizes(a).size()) * 1152;
    const quint64 startC = startB + quint64(FrameSizes(b).size()) * 1152;
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Songs", 8000);
    s.metaint = 8000;
    s.audioFile = source;
    s.titles = {{8000, "StreamTitle='A';"}, {40000, "StreamTitle='B';"}, {88000, "StreamTitle='C';"}};
    icy.SetStream("/songs", s);
    AudioLibrary lib;
    lib.Init(0, 44100);
    double worstSplit = 0, lostOrDoubled = 0, worstSwitchMs = 0, idleKib = 0, recordingKib = 0;
    int run = 0;
    for (auto _ : state) {
        const StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy.Url("/songs")));
        if (!h || !lib.ChannelPlay(h)) {
            state.SkipWithError("connect failed");
            break;
        }
        idleKib = double(lib.ChannelGetMemory(h).historyBytes) / 1024;
        std::vector<std::string> files;
        size_t finished = 0;  // files whose program has ended
        const auto track = [&](EncoderHandle e) {
            lib.EncodeSetNotify(
                e, [&](EncoderHandle, quint32 status) { finished += status == ENCODE_NOTIFY_FREE; });
        };
        QByteArray last;
        const auto file = [&] {
            return dir + "/run" + std::to_string(run) + "_" + std::to_string(files.size());
        };
        lib.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) {
            quint64 at = 0;
            const QByteArray tags = lib.ChannelGetTags(h, TAG_META, &at);
            if (tags == last)
                return;
            last = tags;
            if (files.empty())
                return;  // the first title: recording starts below
            const double ms = double(lib.ChannelGetSample(h, SAMPLE_DECODED) - at) * 1000 / 44100;
            worstSwitchMs = std::max(worstSwitchMs, ms);
            files.push_back(file());
            track(lib.EncodeSwitch(h, Cat(files.back()), 0, {.sample = at}));
        });
        WaitFor([&] { return !last.isEmpty(); }, 10000);
        files.push_back(file());
        track(lib.EncodeStart(h, Cat(files.back())));
        recordingKib = double(lib.ChannelGetMemory(h).historyBytes) / 1024;
        WaitFor([&] { return files.size() == 3 && lib.ChannelGetSample(h, SAMPLE_DECODED) > startC + 44100; },
                30000);
        lib.EncodeStop(h);
        lib.StreamFree(h);
        WaitFor([&] { return finished == files.size(); }, 10000);
        // Each file located in the station's sound by its first and last 2048 samples.
        std::vector<std::pair<size_t, size_t>> spans;
        for (const std::string& f : files) {
            const std::vector<float> x = WavLeft(f);
            const std::optional<size_t> at =
                x.size() > 4096 ? Locate(truth, x.data(), 2048, spans.empty() ? 0 : spans.back().second,
                                         spans.empty() ? truth.size() : 4096)
                                : std::nullopt;
            if (!at) {
                state.SkipWithError("a file is not in the station's sound");
                return;
            }
            spans.emplace_back(*at, *at + x.size());
        }
        if (spans.size() == 3) {
            worstSplit = std::max({worstSplit, std::fabs(double(spans[1].first) - double(startB)),
                                   std::fabs(double(spans[2].first) - double(startC))});
            lostOrDoubled += std::fabs(double(spans[1].first) - double(spans[0].second)) +
                             std::fabs(double(spans[2].first) - double(spans[1].second));
        }
        ++run;
    }
    state.counters["split_error_samples"] = worstSplit;
    state.counters["lost_or_doubled"] = lostOrDoubled;
    state.counters["switch_after_ms"] = worstSwitchMs;
    state.counters["history_idle_kib"] = idleKib;
    state.counters["history_recording_kib"] = recordingKib;
    test::RemoveTree(dir);
}
BENCHMARK(BM_Split)->Iterations(3)->Unit(benchmark::kSecond);

void BM_Overlap(benchmark::State& state) {
    App();
    const std::string dir = test::MakeTempDir("wavelot-overlap-bench");
    IcyServer icy;
    icy.SetStream("/noise", test::LiveNoise(dir, 96000));
    AudioLibrary lib;
    lib.Init(0, 44100);
    lib.SetConfig(CONFIG_NET_TIMEOUT, 10000);
    double repeatS = 0, worstError = 0, worstSearchMs = 0, tailKib = 0;
    int run = 0;
    for (auto _ : state) {
        const std::string oldFile = dir + "/old" + std::to_string(run),
                          newFile = dir + "/new" + std::to_string(run),
                          wholeFile = dir + "/whole" + std::to_string(run);
        const StreamHandle first = lib.StreamCreateURL(QString::fromStdString(icy.Url("/noise")));
        if (!first) {
            state.SkipWithError("connect failed");
            break;
        }
        int finished = 0;  // files whose program has ended
        const auto track = [&](EncoderHandle e) {
            lib.EncodeSetNotify(
                e, [&](EncoderHandle, quint32 status) { finished += status == ENCODE_NOTIFY_FREE; });
            return e;
        };
        lib.ChannelPlay(first);
        track(lib.EncodeStart(first, Cat(oldFile)));
        WaitFor([] { return false; }, 2000 + 500 * (run % 4));
        icy.Away(2000);
        WaitFor([&] { return lib.ChannelIsActive(first) == ACTIVE_STOPPED; }, 30000);
        const AudioTail tail = lib.ChannelGetTail(first);
        tailKib = tail.Seconds() * 44100 * 2 / 1024;
        lib.EncodeStop(first);
        lib.StreamFree(first);
        WaitFor([] { return false; }, 300);
        QElapsedTimer search;
        search.start();
        const StreamHandle second = lib.StreamCreateURL(QString::fromStdString(icy.Url("/noise")));
        if (!second) {
            state.SkipWithError("reconnect failed");
            break;
        }
        lib.ChannelPlay(second);
        const EncoderHandle whole = track(lib.EncodeStart(second, Cat(wholeFile), 0, {.sample = 0}));
        const EncoderHandle resumed = track(lib.EncodeStart(second, Cat(newFile), 0, {.after = tail}));
        WaitFor([&] { return lib.EncodeGetBegin(resumed) != quint64(-1); }, 20000);
        worstSearchMs = std::max(worstSearchMs, double(search.elapsed()));
        const quint64 begin = lib.EncodeGetBegin(resumed);
        WaitFor([] { return false; }, 1000);
        lib.EncodeStop(whole);
        lib.EncodeStop(resumed);
        lib.StreamFree(second);
        WaitFor([&] { return finished == 3; }, 10000);
        // The true first new sample: where the old recording ends in the new stream's whole
        // sound, located by 4410 samples before its last two frames (the very last may be a
        // frame the broken connection cut short, decoded differently).
        const std::vector<float> old = WavLeft(oldFile), all = WavLeft(wholeFile);
        const size_t skip = 2 * 1152, n = 4410;
        const std::optional<size_t> at =
            old.size() > n + skip ? Locate(all, old.data() + old.size() - skip - n, n, 0, all.size())
                                  : std::nullopt;
        const double truth = at ? double(*at + n + skip) : 0;  // no overlap: the first sample
        repeatS = std::max(repeatS, truth / 44100);
        worstError = std::max(worstError, std::fabs(double(begin) - truth));
        ++run;
    }
    state.counters["burst_repeat_s"] = repeatS;
    state.counters["begin_error_samples"] = worstError;
    state.counters["search_ms"] = worstSearchMs;
    state.counters["tail_kib"] = tailKib;
    test::RemoveTree(dir);
}
BENCHMARK(BM_Overlap)->Iterations(4)->Unit(benchmark::kSecond);

void BM_Search(benchmark::State& state) {
    // Band-limited noise: a random walk, smoothed.
    std::mt19937 rng(3);
    std::normal_distribution<double> step(0, 300);
    std::vector<int16_t> sound(size_t(44100 * 24));
    double v = 0, smooth = 0;
    for (int16_t& x : sound) {
        v = std::clamp(v * 0.999 + step(rng), -30000.0, 30000.0);
        smooth = 0.7 * smooth + 0.3 * v;
        x = int16_t(smooth);
    }
    const audio::TailData tail{44100, std::vector<int16_t>(sound.begin(), sound.begin() + 20 * 44100)};
    const std::vector<int16_t> fresh(sound.begin() + 17 * 44100, sound.end());
    for (auto _ : state) {
        const std::optional<quint64> found = audio::FindContinuation(tail, 0, fresh);
        if (!found || *found != 3 * 44100)
            state.SkipWithError("the burst was not found");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_Search)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wavelot
