// What recording costs, on loopback against the tests' ICY server (128 kbit/s MP3, silent output
// at real time): the program's CPU while it only plays and while it records the same stream
// through lame, lame's own CPU, and the resident memory of both.
//   engine_record_bench --benchmark_filter=Recording
// Counters: play_cpu_pct and record_cpu_pct (the program, % of one core), lame_cpu_pct,
// added_cpu_pct (recording's whole cost: the program's increase plus lame), rss_mib (the
// program while recording), lame_rss_mib. And a lame that hangs, at a title change (below).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/background_recording.h"
#include "engine/play_log.h"
#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/player_wait.h"
#include "tests/support/rig_threads.h"

namespace {

using namespace wavelot;
using wavelot::test::IcyServer;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "engine_record_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double ProgramCpuSeconds() {
    return test::ProcessCpuSeconds() - test::RigCpuSeconds();
}

// The children of this process whose command is lame. (/proc/PID/task/*/children is not
// reliable for running children; the parent field of every process is.)
std::vector<pid_t> LamePids() {
    std::vector<pid_t> pids;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : all) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number)
            continue;
        std::ifstream in("/proc/" + entry.toStdString() + "/stat");
        std::string line;
        std::getline(in, line);
        const auto open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && line.substr(open + 1, close - open - 1) == "lame")
            pids.push_back(pid);
    }
    return pids;
}

// The first lame child, 0 when there is none.
pid_t LamePid() {
    const std::vector<pid_t> pids = LamePids();
    return pids.empty() ? 0 : pids.front();
}

// CPU seconds of a process, or of a thread of this one with its /proc/self/task folder.
double ProcessCpu(const std::string& folder) {
    std::ifstream in(folder + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; rest >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::stod(field);
        if (i == 15)
            break;
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

double ProcessCpu(pid_t pid) {
    return ProcessCpu("/proc/" + std::to_string(pid));
}

double StatusMiB(const std::string& pid, const std::string& field) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string key;
    while (in >> key) {
        if (key == field) {
            double kb = 0;
            in >> kb;
            return kb / 1024.0;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

double RssMiB(const std::string& pid) {
    return StatusMiB(pid, "VmRSS:");
}

void BM_Recording(benchmark::State& state) {
    App();
    const std::string dir = test::MakeTempDir("wavelot-record-bench");
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Bench FM", 16000);
    s.audioFile = IcyServer::MakeTone(dir, 440, 60.0);
    s.metaint = 16000;
    icy.SetStream("/live", s);
    QTemporaryDir temp;
    const QString settings = temp.filePath(QStringLiteral("Setting.ini"));
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settings);
    AudioLibrary audio;
    audio.Init(0, 44100);
    clsSongArray log;
    FixedRecordOptions options;
    options.folder = temp.filePath(QStringLiteral("rec"));
    options.quality = 3;  // 128 Kbps
    const int seconds = int(state.range(0));
    for (auto _ : state) {
        Player player(settings, audio, log);
        Recorder recorder(player, audio, options, temp.path(), temp.path());
        test::PlayAndWait(player, QString::fromStdString(icy.Url("/live")), QStringLiteral("Bench"), 0);
        if (!player.IsConnected()) {
            state.SkipWithError("connect failed");
            break;
        }
        Pump(1000);
        double cpu0 = ProgramCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        Pump(seconds * 1000);
        const double playPct = 100.0 * (ProgramCpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);

        recorder.ToggleRecording();
        const pid_t lame = LamePid();
        if (!lame) {
            const QString last = log.ListCount() ? log.File(log.ListCount() - 1) : QString();
            state.SkipWithError(("lame did not start: " + last.toStdString()).c_str());
            break;
        }
        Pump(1000);
        cpu0 = ProgramCpuSeconds();
        const double lame0 = ProcessCpu(lame);
        wall.restart();
        double rss = 0, lameRss = 0;
        for (int i = 0; i < seconds; ++i) {
            Pump(1000);
            rss = std::max(rss, RssMiB("self"));
            lameRss = std::max(lameRss, RssMiB(std::to_string(lame)));
        }
        const double wallS = wall.elapsed() / 1000.0;
        const double recordPct = 100.0 * (ProgramCpuSeconds() - cpu0) / wallS;
        const double lamePct = 100.0 * (ProcessCpu(lame) - lame0) / wallS;
        recorder.ToggleRecording();
        state.counters["play_cpu_pct"] = playPct;
        state.counters["record_cpu_pct"] = recordPct;
        state.counters["lame_cpu_pct"] = lamePct;
        state.counters["added_cpu_pct"] = recordPct - playPct + lamePct;
        state.counters["rss_mib"] = rss;
        state.counters["lame_rss_mib"] = lameRss;
        test::StopAndWait(player);
    }
    test::RemoveTree(dir);
}
BENCHMARK(BM_Recording)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond);

// Each thread of this process: its name and CPU seconds so far.
struct ThreadCpu {
    std::string name;
    double seconds = 0;
};
constexpr const char* kThreadKinds[] = {"net", "decode", "output", "copy", "encfeed"};
std::map<pid_t, ThreadCpu> Threads() {
    std::map<pid_t, ThreadCpu> threads;
    for (const QString& entry :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const pid_t tid = entry.toInt();
        std::ifstream comm("/proc/self/task/" + entry.toStdString() + "/comm");
        ThreadCpu t;
        std::getline(comm, t.name);
        t.seconds = ProcessCpu("/proc/self/task/" + entry.toStdString());
        threads[tid] = t;
    }
    return threads;
}

// N stations recorded at once in the background, each with its own connection to a mount of the
// ICY server (128 kbit/s MP3, silent output at real time), in the station's own format (quality
// 7) or through lame (quality 0-6).
//   engine_record_bench --benchmark_filter=ManyStations
// Counters: cpu_pct (the program, % of one core, the server's threads left out), lame_cpu_pct (all
// lames), total_cpu_pct and per_station_pct, rss_mib (the largest VmRSS seen), hwm_mib (VmHWM),
// lame_rss_mib (all lames); where the program's time goes: main_pct (the main thread), and the
// worker threads by name: net_pct (connections), decode_pct, output_pct (paced silent output),
// copy_pct (own-format files), encfeed_pct (lame's feeders), other_pct; busiest_thread_pct.
void BM_ManyStations(benchmark::State& state) {
    App();
    const int stations = int(state.range(0));
    const int quality = int(state.range(1));
    const int seconds = 20;
    const std::string dir = test::MakeTempDir("wavelot-record-bench");
    IcyServer icy;
    const std::string tone = IcyServer::MakeTone(dir, 440, 60.0);
    for (int i = 0; i < stations; ++i) {
        IcyServer::Stream s;
        s.head = IcyServer::IcyHead("Bench FM " + std::to_string(i), 16000);
        s.audioFile = tone;
        s.metaint = 16000;
        s.live = true;
        s.titles = {{16000, "StreamTitle='Bench - Song " + std::to_string(i) + "';"}};
        icy.SetStream("/s" + std::to_string(i), s);
    }
    QTemporaryDir temp;
    const QString settings = temp.filePath(QStringLiteral("Setting.ini"));
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settings);
    AudioLibrary audio;
    audio.Init(0, 44100);
    clsSongArray lines;
    PlayLog log(lines);
    FixedRecordOptions options;
    options.folder = temp.filePath(QStringLiteral("rec"));
    options.quality = quality;
    const auto files = [&options] {
        int n = 0;
        for (QDirIterator it(options.folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();
             it.next())
            ++n;
        return n;
    };
    for (auto _ : state) {
        BackgroundRecordings recordings(settings, audio, log, options, temp.path(), temp.path());
        for (int i = 0; i < stations; ++i) {
            const std::string path = "/s" + std::to_string(i);
            recordings.Start(QString::fromStdString(path), QString::fromStdString(icy.Url(path)),
                             QStringLiteral("Bench %1").arg(i), 0);
        }
        for (int i = 0; i < 100 && files() < stations; ++i)
            Pump(100);
        if (files() < stations) {
            state.SkipWithError(
                ("not every station records: " +
                 (lines.ListCount() ? lines.File(lines.ListCount() - 1) : QString()).toStdString())
                    .c_str());
            break;
        }
        Pump(2000);
        const std::vector<pid_t> lames = LamePids();
        double lame0 = 0;
        for (const pid_t pid : lames)
            lame0 += ProcessCpu(pid);
        const std::map<pid_t, ThreadCpu> before = Threads();
        const double cpu0 = ProgramCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        double rss = 0, lameRss = 0;
        for (int i = 0; i < seconds; ++i) {
            Pump(1000);
            rss = std::max(rss, RssMiB("self"));
            double all = 0;
            for (const pid_t pid : lames)
                all += RssMiB(std::to_string(pid));
            lameRss = std::max(lameRss, all);
        }
        const double wallS = wall.elapsed() / 1000.0;
        const double cpuPct = 100.0 * (ProgramCpuSeconds() - cpu0) / wallS;
        const std::map<pid_t, ThreadCpu> after = Threads();
        double lameCpu = -lame0;
        for (const pid_t pid : lames)
            lameCpu += ProcessCpu(pid);
        std::map<std::string, double> kinds;
        double busiest = 0;
        for (const auto& [tid, t] : after) {
            if (t.name.rfind("rig-", 0) == 0)
                continue;
            const auto was = before.find(tid);
            const double used = t.seconds - (was == before.end() ? 0 : was->second.seconds);
            // The engine names its threads by their work.
            std::string kind = tid == getpid() ? "main" : "other";
            for (const char* name : kThreadKinds)
                if (tid != getpid() && t.name == name)
                    kind = name;
            kinds[kind] += used;
            if (tid != getpid())
                busiest = std::max(busiest, used);
        }
        state.counters["cpu_pct"] = cpuPct;
        state.counters["lame_cpu_pct"] = 100.0 * lameCpu / wallS;
        state.counters["total_cpu_pct"] = cpuPct + 100.0 * lameCpu / wallS;
        state.counters["per_station_pct"] = (cpuPct + 100.0 * lameCpu / wallS) / stations;
        state.counters["rss_mib"] = rss;
        state.counters["hwm_mib"] = StatusMiB("self", "VmHWM:");
        state.counters["lame_rss_mib"] = lameRss;
        for (const char* kind : {"main", "net", "decode", "output", "copy", "encfeed", "other"})
            state.counters[std::string(kind) + "_pct"] = 100.0 * kinds[kind] / wallS;
        state.counters["busiest_thread_pct"] = 100.0 * busiest / wallS;
        state.counters["threads"] = double(after.size());
        recordings.StopAll();
        for (int i = 0; i < 100 && recordings.UnfinishedFiles() > 0; ++i)
            Pump(100);
    }
    test::RemoveTree(dir);
}
BENCHMARK(BM_ManyStations)
    ->Args({1, 7})
    ->Args({5, 7})
    ->Args({10, 7})
    ->Args({20, 7})
    ->Args({5, 3})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A lame that reads nothing (it sleeps): the longest the main thread stands still around a title
// change (a 10 ms timer's longest gap), and how long after each file began its error line came
// and the file was closed.
//   engine_record_bench --benchmark_filter=HungEncoder
// Counters: title_change_stall_ms, first_file_closed_s (switched away from while hung),
// second_file_closed_s (hung from its start).
void BM_HungEncoderAtTitleChange(benchmark::State& state) {
    App();
    const std::string dir = test::MakeTempDir("wavelot-record-bench");
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Hang FM", 8000);
    s.audioFile = IcyServer::MakeTone(dir, 440, 20.0);
    s.metaint = 8000;
    icy.SetStream("/hang", s);
    icy.SetMeta("/hang", "StreamTitle='Hang - One';");
    QTemporaryDir temp;
    const QString settings = temp.filePath(QStringLiteral("Setting.ini"));
    WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settings);
    {
        QFile lame(temp.filePath(QStringLiteral("lame")));
        lame.open(QIODevice::WriteOnly);
        lame.write("#!/bin/sh\nexec sleep 60\n");
        lame.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    AudioLibrary audio;
    audio.Init(0, 44100);
    clsSongArray log;
    FixedRecordOptions options;
    options.folder = temp.filePath(QStringLiteral("rec"));
    for (auto _ : state) {
        Player player(settings, audio, log);
        Recorder recorder(player, audio, options, temp.path(), temp.path());
        test::PlayAndWait(player, QString::fromStdString(icy.Url("/hang")), QStringLiteral("Hang"), 0);
        if (!player.IsConnected()) {
            state.SkipWithError("connect failed");
            break;
        }
        Pump(1000);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> started, closed;
        QObject::connect(&recorder, &Recorder::fileStarted, [&] { started.append(clock.elapsed()); });
        QObject::connect(&recorder, &Recorder::fileFinished, [&] { closed.append(clock.elapsed()); });
        qint64 longest = 0, last = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(10);
        recorder.ToggleRecording();
        Pump(1000);
        icy.SetMeta("/hang", "StreamTitle='Hang - Two';");
        for (int i = 0; i < 20 && closed.size() < 2; ++i)
            Pump(1000);
        tick.stop();
        if (started.size() < 2 || closed.size() < 2) {
            state.SkipWithError("the title did not change or the files were not closed");
            break;
        }
        state.counters["title_change_stall_ms"] = double(longest);
        state.counters["first_file_closed_s"] = (closed[0] - started[0]) / 1000.0;
        state.counters["second_file_closed_s"] = (closed[1] - started[1]) / 1000.0;
        test::StopAndWait(player);
    }
    test::RemoveTree(dir);
}
BENCHMARK(BM_HungEncoderAtTitleChange)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
