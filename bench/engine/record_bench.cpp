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
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
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

// The child of this process whose command is lame, 0 when there is none. (/proc/PID/task/*/
// children is not reliable for running children; the parent field of every process is.)
pid_t LamePid() {
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
            return pid;
    }
    return 0;
}

double ProcessCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
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

double RssMiB(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/status");
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
