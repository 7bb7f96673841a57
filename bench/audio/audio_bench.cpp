// Measurements of the audio back end on loopback, against the tests' ICY server.
//   audio_bench --benchmark_filter=FirstSample
// Counters: first_sample_ms (StreamCreateURL to the first sample handed to the output),
// cpu_percent_of_core and cpu_s_per_minute (128 kbit/s MP3, ten equalizer bands, the FFT read
// every 30 ms, silent output at real time), rss_mib while playing.

#include "engine/audio/audio_library.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/rig_threads.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace wavelot;
using namespace wavelot::audio;
using wavelot::test::IcyServer;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "audio_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

const std::string& ToneFile() {
    static const std::string path = [] {
        static const std::string dir = wavelot::test::MakeTempDir("wavelot-audio-bench");
        return IcyServer::MakeTone(dir, 440, 30.0);
    }();
    return path;
}

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU of the program's own threads: the in-process test servers' share is left out.
double CpuSeconds() {
    return wavelot::test::ProcessCpuSeconds() - wavelot::test::RigCpuSeconds();
}

double RssMiB() {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            in >> kb;
            return kb / 1024.0;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

IcyServer::Stream LiveStream() {
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Bench FM", 16000);
    s.audioFile = ToneFile();
    s.metaint = 16000;
    return s;
}

void BM_FirstSample(benchmark::State& state) {
    App();
    IcyServer icy;
    icy.SetStream("/live", LiveStream());
    AudioLibrary lib;
    lib.Init(0, 44100);
    lib.SetConfigPtr(CONFIG_NET_PROXY, nullptr);
    const QString url = QString::fromStdString(icy.Url("/live"));
    double totalMs = 0, worstMs = 0;
    int n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        StreamHandle h = lib.StreamCreateURL(url);
        if (!h) {
            state.SkipWithError("connect failed");
            break;
        }
        lib.ChannelPlay(h);
        while (lib.ChannelGetTimings(h).firstSample == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const qint64 first = lib.ChannelGetTimings(h).firstSample;
        const double ms =
            double(first -
                   std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count()) /
            1e6;
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
        worstMs = std::max(worstMs, ms);
        ++n;
        lib.StreamFree(h);
    }
    state.counters["first_sample_ms"] = n ? totalMs / n : 0;
    state.counters["worst_ms"] = worstMs;
}
BENCHMARK(BM_FirstSample)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_PlayingWithEqualizerAndSpectrum(benchmark::State& state) {
    App();
    IcyServer icy;
    icy.SetStream("/live", LiveStream());
    AudioLibrary lib;
    lib.Init(0, 44100);
    const int seconds = int(state.range(0));
    for (auto _ : state) {
        StreamHandle h = lib.StreamCreateURL(QString::fromStdString(icy.Url("/live")));
        if (!h) {
            state.SkipWithError("connect failed");
            break;
        }
        const float centres[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
        const float gains[] = {3, 1, 0, -2, -4, -4, -2, 0, 1, 2};
        for (int i = 0; i < 10; ++i) {
            FxHandle fx = lib.ChannelSetFX(h, FX_DX8_PARAMEQ, 0);
            lib.FXSetParameters(fx, DX8ParamEq{centres[i], 12, gains[i]});
        }
        lib.ChannelPlay(h);
        Pump(1000);  // past the connect and the first burst
        std::vector<float> bins(2048);
        const double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        double rss = 0;
        for (int tick = 0; wall.elapsed() < seconds * 1000; ++tick) {
            lib.ChannelGetData(h, bins.data(), DATA_FFT4096);
            benchmark::DoNotOptimize(bins.data());
            if (tick % 32 == 0)  // about once a second: reading /proc costs more than the FFT
                rss = std::max(rss, RssMiB());
            Pump(30);
        }
        const double cpu = CpuSeconds() - cpu0;
        const double wallS = wall.elapsed() / 1000.0;
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / wallS;
        state.counters["cpu_s_per_minute"] = cpu * 60.0 / wallS;
        state.counters["rss_mib"] = rss;
        state.counters["active"] = lib.ChannelIsActive(h) == ACTIVE_PLAYING ? 1 : 0;
        lib.StreamFree(h);
    }
}
BENCHMARK(BM_PlayingWithEqualizerAndSpectrum)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
