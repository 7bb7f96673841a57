// A soak of reconnects while recording: a live station (the tests' ICY server, noise at
// 128 kbit/s, silent output at real time) drops fifty times in a row, alternately by a broken
// connection (the server goes on) and by the server going away for one to two and a half seconds
// (killed and started again on its port). After each, the recording must go on in a new file.
//   engine_reconnect_soak_bench
// Counters: drops, resumed (drops after which a new file began within a minute), files,
// failed_attempts (attempts that found the server away), resume_mean_s and resume_max_s (break to
// the new file), and at the start and the end: heap (bytes allocated and not freed: a leak shows
// as growth), rss (after giving freed memory back; it also holds what the allocator keeps for
// reuse, such as cached thread stacks), fds and threads.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <functional>
#include <string>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/player_wait.h"
#include "tests/support/station_sound.h"

namespace wavelot {
namespace {

using test::App;
using test::WaitFor;

double StatusValue(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string k;
    while (in >> k) {
        if (k == key) {
            double v = 0;
            in >> v;
            return v;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

// What the allocator has handed out and not had back, every arena and mapped block included.
double HeapInUseMib() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024 * 1024);
}

int OpenFds() {
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

void BM_ReconnectSoak(benchmark::State& state) {
    App();
    const std::string scratch = test::MakeTempDir("wavelot-soak-bench");
    test::IcyServer icy;
    icy.SetStream("/noise", test::LiveNoise(scratch, 32768));
    QTemporaryDir temp;
    const QString settings = temp.filePath(QStringLiteral("Setting.ini"));
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settings);
    AudioLibrary audio;
    audio.Init(0, 44100);
    audio.SetConfig(audio::CONFIG_NET_TIMEOUT, 10000);
    clsSongArray log;
    FixedRecordOptions options;
    options.folder = temp.filePath(QStringLiteral("rec"));
    options.quality = 3;
    const int drops = int(state.range(0));
    for (auto _ : state) {
        Player player(settings, audio, log);
        Recorder recorder(player, audio, options, temp.path(), temp.path());
        StreamWatchdog watchdog(player, recorder, options);
        int files = 0, failedAttempts = 0;
        QObject::connect(&recorder, &Recorder::fileStarted, [&] { ++files; });
        QObject::connect(&watchdog, &StreamWatchdog::reconnected,
                         [&](bool ok) { failedAttempts += ok ? 0 : 1; });
        QTimer song;  // the window's song timer
        QObject::connect(&song, &QTimer::timeout, &watchdog, &StreamWatchdog::Tick);
        song.start(10);
        test::PlayAndWait(player, QString::fromStdString(icy.Url("/noise")), QStringLiteral("Soak"), 0);
        recorder.ToggleRecording();
        if (!recorder.IsRecording() || files != 1) {
            state.SkipWithError("the recording did not start");
            break;
        }
        WaitFor([] { return false; }, 2000);
        // Freed memory the allocator keeps for its threads' arenas is given back first, so that
        // what remains is what is held.
        malloc_trim(0);
        const double rss0 = StatusValue("VmRSS:") / 1024, threads0 = StatusValue("Threads:");
        const double heap0 = HeapInUseMib();
        const int fds0 = OpenFds();
        int resumed = 0;
        double sumS = 0, maxS = 0;
        for (int i = 0; i < drops; ++i) {
            const int before = files;
            if (i % 2 == 0)
                icy.DropAll();
            else
                icy.Away(1000 + 500 * (i % 4));
            QElapsedTimer t;
            t.start();
            if (WaitFor([&] { return files == before + 1 && recorder.IsRecording(); }, 60000)) {
                ++resumed;
                sumS += t.elapsed() / 1000.0;
                maxS = std::max(maxS, t.elapsed() / 1000.0);
            }
            WaitFor([] { return false; }, 2000);
        }
        song.stop();
        recorder.ToggleRecording();
        WaitFor([&] { return recorder.UnfinishedFiles() == 0; }, 10000);
        state.counters["drops"] = drops;
        state.counters["resumed"] = resumed;
        state.counters["files"] = files;
        state.counters["failed_attempts"] = failedAttempts;
        state.counters["resume_mean_s"] = resumed ? sumS / resumed : 0;
        state.counters["resume_max_s"] = maxS;
        malloc_trim(0);
        state.counters["rss_start_mib"] = rss0;
        state.counters["rss_end_mib"] = StatusValue("VmRSS:") / 1024;
        state.counters["heap_start_mib"] = heap0;
        state.counters["heap_end_mib"] = HeapInUseMib();
        state.counters["fds_start"] = fds0;
        state.counters["fds_end"] = OpenFds();
        state.counters["threads_start"] = threads0;
        state.counters["threads_end"] = StatusValue("Threads:");
        test::StopAndWait(player);
    }
    test::RemoveTree(scratch);
}
BENCHMARK(BM_ReconnectSoak)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace wavelot
