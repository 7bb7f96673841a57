// How long the main thread goes without dispatching events while PlayRadio connects and
// cross-fades. A 1 ms timer records the largest gap between its ticks during each PlayRadio;
// the counters report the worst and the mean of those per-connect maxima, and the time the
// whole PlayRadio took (connect plus the one-second fade).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/support/gap_probe.h"
#include "core/ini_file.h"
#include "core/pump_wait.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "tests/support/child_process.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/icy_server.h"
#include "tests/support/player_wait.h"

namespace wavelot {
namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "engine_connect_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

void RunConnects(benchmark::State& state, const QString& url) {
    App();
    QTemporaryDir dir;
    const QString settingFile = dir.filePath(QStringLiteral("Setting.ini"));
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 50, settingFile);
    AudioLibrary audio;
    if (!InitAudioEngine(audio)) {
        state.SkipWithError("audio engine could not be set up");
        return;
    }
    clsSongArray log;
    double worst = 0, sumOfMax = 0, sumTotal = 0;
    int connects = 0, failures = 0;
    {
        Player player(settingFile, audio, log);
        bench::GapProbe probe;
        for (auto _ : state) {
            QElapsedTimer total;
            total.start();
            probe.Start();
            test::PlayAndWait(player, url, QStringLiteral("Bench"), 0);
            const double ms = probe.StopMs();
            worst = std::max(worst, ms);
            sumOfMax += ms;
            sumTotal += double(total.nsecsElapsed()) / 1e6;
            ++connects;
            failures += player.IsConnected() ? 0 : 1;
        }
        test::StopAndWait(player);
    }
    ReleaseAudioEngine(audio);
    state.counters["max_gap_ms"] = worst;
    state.counters["mean_max_gap_ms"] = connects ? sumOfMax / connects : 0;
    state.counters["play_radio_ms"] = connects ? sumTotal / connects : 0;
    state.counters["failed"] = failures;
}

// The floor: the same timer while the main thread only waits, so that the machine's own
// scheduling noise can be told apart from what a connect adds.
void BM_IdleWaitBaseline(benchmark::State& state) {
    App();
    bench::GapProbe probe;
    double worst = 0;
    for (auto _ : state) {
        probe.Start();
        PumpWait(1000);
        worst = std::max(worst, probe.StopMs());
    }
    state.counters["max_gap_ms"] = worst;
}
BENCHMARK(BM_IdleWaitBaseline)->Iterations(4)->Unit(benchmark::kMillisecond);

test::IcyServer& Icy() {
    static test::IcyServer* server = [] {
        auto* s = new test::IcyServer;
        const std::string dir = test::MakeTempDir("wavelot-bench-tone");
        const std::string tone = test::IcyServer::MakeTone(dir, 440, 5);
        test::IcyServer::Stream fast;
        fast.head = test::IcyServer::IcyHead("Bench FM", 8192);
        fast.audioFile = tone;
        fast.metaint = 8192;
        s->SetStream("/fast", fast);
        test::IcyServer::Stream slow = fast;
        slow.delayMs = 2000;  // a far-away station: the answer takes two seconds
        s->SetStream("/slow", slow);
        return s;
    }();
    return *server;
}

void BM_ConnectIcyServer(benchmark::State& state) {
    RunConnects(state, QString::fromStdString(Icy().Url("/fast")));
}
BENCHMARK(BM_ConnectIcyServer)->Iterations(8)->Unit(benchmark::kMillisecond);

void BM_ConnectSlowAnswer(benchmark::State& state) {
    RunConnects(state, QString::fromStdString(Icy().Url("/slow")));
}
BENCHMARK(BM_ConnectSlowAnswer)->Iterations(4)->Unit(benchmark::kMillisecond);

void BM_ConnectIcecast(benchmark::State& state) {
    // Stopped with the program, so no icecast2 outlives the benchmark.
    static test::IcecastRig rig;
    static test::IcecastRig* ice = [] {
        if (rig.Start())
            rig.StartSource({.mount = "/bench.mp3"});
        return &rig;
    }();
    if (ice->Port() == 0) {
        state.SkipWithError("icecast could not be started");
        return;
    }
    RunConnects(state, QString::fromStdString(ice->Url("/bench.mp3")));
}
BENCHMARK(BM_ConnectIcecast)->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wavelot
