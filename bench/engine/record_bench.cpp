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
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/audio/station_loudness.h"
#include "engine/background_recording.h"
#include "engine/play_log.h"
#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"
#include "tests/support/player_wait.h"
#include "tests/support/rig_threads.h"
#include "tests/support/station_sound.h"

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

// CPU seconds of this process's children that ended and were waited for.
double EndedChildrenCpu() {
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// The program's CPU and memory over a stretch of seconds, lame's beside it (a lame per file, so
// those that ended count too), and the program's time by thread kind (see BM_ManyStations').
class Meter {
public:
    Meter() : before_(Threads()), cpu0_(ProgramCpuSeconds()), ended0_(EndedChildrenCpu()) {
        for (const pid_t pid : LamePids())
            lame0_[pid] = ProcessCpu(pid);
        wall_.start();
    }
    // Once a second or so: the resident memory's peak.
    void Sample() {
        rss_ = std::max(rss_, RssMiB("self"));
        double all = 0;
        for (const pid_t pid : LamePids())
            all += RssMiB(std::to_string(pid));
        lameRss_ = std::max(lameRss_, all);
    }
    void Report(benchmark::State& state, int stations) const {
        const double wallS = wall_.elapsed() / 1000.0;
        const double cpuPct = 100.0 * (ProgramCpuSeconds() - cpu0_) / wallS;
        const std::map<pid_t, ThreadCpu> after = Threads();
        // Lames that ran at the start count from there, whether they still run or ended since.
        double lameCpu = EndedChildrenCpu() - ended0_;
        std::map<pid_t, double> running;
        for (const pid_t pid : LamePids())
            running[pid] = ProcessCpu(pid);
        for (const auto& [pid, cpu] : running)
            lameCpu += cpu;
        for (const auto& [pid, cpu] : lame0_)
            lameCpu -= cpu;
        std::map<std::string, double> kinds;
        double busiest = 0;
        for (const auto& [tid, t] : after) {
            if (t.name.rfind("rig-", 0) == 0)
                continue;
            const auto was = before_.find(tid);
            const double used = t.seconds - (was == before_.end() ? 0 : was->second.seconds);
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
        state.counters["rss_mib"] = rss_;
        state.counters["hwm_mib"] = StatusMiB("self", "VmHWM:");
        state.counters["lame_rss_mib"] = lameRss_;
        for (const char* kind : {"main", "net", "decode", "output", "copy", "encfeed", "other"})
            state.counters[std::string(kind) + "_pct"] = 100.0 * kinds[kind] / wallS;
        state.counters["busiest_thread_pct"] = 100.0 * busiest / wallS;
        state.counters["threads"] = double(after.size());
    }

private:
    const std::map<pid_t, ThreadCpu> before_;
    const double cpu0_;
    const double ended0_;
    std::map<pid_t, double> lame0_;
    QElapsedTimer wall_;
    double rss_ = 0, lameRss_ = 0;
};

// What background recordings need around them: a settings file, the engine keeping the last
// minutes as the program does, and a play log.
struct RecordingRig {
    RecordingRig() {
        WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settings);
        audio.Init(0, 44100);
        audio.SetConfig(audio::CONFIG_TIME_SHIFT, 30);
    }
    QTemporaryDir temp;
    const QString settings = temp.filePath(QStringLiteral("Setting.ini"));
    AudioLibrary audio;
    clsSongArray lines;
    PlayLog log{lines};
};

// N stations recorded at once in the background, each with its own connection to a mount of the
// ICY server (128 kbit/s MP3, silent output at real time), in the station's own format (quality
// 7) or through lame (quality 0-6); the third argument turns "音量平衡" on.
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
    // With "音量平衡" on, as many users keep it.
    audio::StationLoudness::Shared().SetEnabled(state.range(2) != 0);
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
    RecordingRig rig;
    QTemporaryDir& temp = rig.temp;
    clsSongArray& lines = rig.lines;
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
        BackgroundRecordings recordings(rig.settings, rig.audio, rig.log, options, temp.path(), temp.path());
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
        Meter meter;
        for (int i = 0; i < seconds; ++i) {
            Pump(1000);
            meter.Sample();
        }
        meter.Report(state, stations);
        recordings.StopAll();
        for (int i = 0; i < 100 && recordings.UnfinishedFiles() > 0; ++i)
            Pump(100);
    }
    test::RemoveTree(dir);
}
BENCHMARK(BM_ManyStations)
    ->Args({1, 7, 0})
    ->Args({5, 7, 0})
    ->Args({10, 7, 0})
    ->Args({20, 7, 0})
    ->Args({20, 7, 1})
    ->Args({5, 3, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// MP3 frames (MPEG-1 Layer III) one after another from the start of bytes; where no frame header
// stands, a byte is skipped and counted in skipped.
std::vector<std::string_view> Mp3Frames(std::string_view bytes, long long* skipped) {
    static constexpr int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kRates[] = {44100, 48000, 32000, 0};
    std::vector<std::string_view> frames;
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        const auto* h = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        const int kbps = kKbps[h[2] >> 4], rate = kRates[(h[2] >> 2) & 3];
        const size_t length = kbps && rate ? size_t(144000 * kbps / rate + ((h[2] >> 1) & 1)) : 0;
        if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA || !length || at + length > bytes.size()) {
            ++*skipped;
            ++at;
            continue;
        }
        frames.push_back(bytes.substr(at, length));
        at += length;
    }
    return frames;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file's bytes less its leading ID3v2 tag.
std::string WithoutId3(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    const QByteArray all = f.readAll();
    qsizetype from = 0;
    if (all.startsWith("ID3") && all.size() >= 10) {
        const auto b = [&](int i) { return qsizetype(uchar(all[i]) & 0x7F); };
        from = 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)) + ((uchar(all[5]) & 0x10) ? 10 : 0);
    }
    return all.mid(from).toStdString();
}

// A station's files in the order they were recorded: the one named after the station (sound
// before its first title) first, then by song number.
QStringList FilesInOrder(const QString& folder, const QString& station) {
    QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    std::stable_partition(files.begin(), files.end(),
                          [&](const QString& f) { return f.startsWith(station + u'.'); });
    for (QString& f : files)
        f = folder + u'/' + f;
    return files;
}

// Many stations recorded for minutes with songs of 30 to 60 seconds, so each writes many files:
// 20 in the station's own format and 5 through lame at once, each its own live mount of pink
// noise (128 kbit/s MP3, every frame unlike the others). Afterwards each own-format station's
// frames, file after file, are matched against the looped source: each frame must be the one
// after the frame before. Each lame station's files, bar the last, must last as long as the
// stream between their titles, within a frame.
//   WAVELOT_BENCH_MINUTES=30 engine_record_bench --benchmark_filter=LongRun   (default 1 minute)
// Counters: as BM_ManyStations', and files, lost_frames, repeated_frames, foreign_bytes (bytes of
// own-format files that are no frame of the source), reconnects, lame_files, lame_off_frames (the
// largest difference in frames of a lame file between two titles from their distance),
// lame_first_off_frames (that of the first files, from the stream's first byte).
void BM_LongRun(benchmark::State& state) {
    App();
    const int own = 20, lames = 5, bytesPerSecond = 16000;
    const QByteArray minutesText = qgetenv("WAVELOT_BENCH_MINUTES");
    const double minutes = minutesText.isEmpty() ? 1.0 : minutesText.toDouble();
    const std::string dir = test::MakeTempDir("wavelot-record-bench");
    IcyServer icy;
    const IcyServer::Stream noise = test::LiveNoise(dir, 32768);
    const std::string source = ReadBytes(noise.audioFile);
    long long sourceSkipped = 0;
    const std::vector<std::string_view> sourceFrames = Mp3Frames(source, &sourceSkipped);
    std::unordered_map<std::string_view, int> frameIndex;
    for (size_t i = 0; i < sourceFrames.size(); ++i)
        frameIndex.emplace(sourceFrames[i], int(i));
    if (sourceFrames.empty() || sourceSkipped || frameIndex.size() != sourceFrames.size()) {
        state.SkipWithError("the noise is no run of distinct frames (is ffmpeg installed?)");
        return;
    }
    // Where each station's titles stand in its connection's bytes (a song of 30 to 60 seconds).
    std::vector<std::vector<long long>> titleAt(own + lames);
    QStringList names;
    std::mt19937 random(24);
    for (int i = 0; i < own + lames; ++i) {
        names << QStringLiteral("Long %1").arg(i, 2, 10, QChar(u'0'));
        IcyServer::Stream s = noise;
        s.head = IcyServer::IcyHead(names[i].toStdString(), 16000);
        for (long long at = bytesPerSecond; at < (long long)((minutes + 2) * 60 * bytesPerSecond);
             at += bytesPerSecond * std::uniform_int_distribution<long long>(30, 60)(random)) {
            char title[64];
            std::snprintf(title, sizeof title, "StreamTitle='Bench - Song %03zu';", titleAt[i].size());
            s.titles.push_back({at, title});
            titleAt[i].push_back(at);
        }
        icy.SetStream("/l" + std::to_string(i), s);
    }
    RecordingRig rig;
    QTemporaryDir& temp = rig.temp;
    FixedRecordOptions copied, encoded;
    copied.folder = temp.filePath(QStringLiteral("own"));
    copied.quality = 7;
    encoded.folder = temp.filePath(QStringLiteral("lame"));
    encoded.quality = 2;
    const auto folder = [&](int i) { return (i < own ? copied : encoded).folder + u'/' + names[i]; };
    for (auto _ : state) {
        BackgroundRecordings ownRecordings(rig.settings, rig.audio, rig.log, copied, temp.path(),
                                           temp.path());
        BackgroundRecordings lameRecordings(rig.settings, rig.audio, rig.log, encoded, temp.path(),
                                            temp.path());
        for (int i = 0; i < own + lames; ++i) {
            const std::string path = "/l" + std::to_string(i);
            (i < own ? ownRecordings : lameRecordings)
                .Start(names[i], QString::fromStdString(icy.Url(path)), names[i], 0);
        }
        Pump(3000);
        Meter meter;
        for (int i = 0; i < int(minutes * 60); ++i) {
            Pump(1000);
            meter.Sample();
        }
        meter.Report(state, own + lames);
        ownRecordings.StopAll();
        lameRecordings.StopAll();
        for (int i = 0; i < 300 && ownRecordings.UnfinishedFiles() + lameRecordings.UnfinishedFiles() > 0;
             ++i)
            Pump(100);

        long long files = 0, lost = 0, repeated = 0, foreign = 0, reconnects = 0, lameFiles = 0;
        double lameOffFrames = 0, lameFirstOffFrames = 0;
        const long long n = (long long)sourceFrames.size();
        for (int i = 0; i < own + lames; ++i) {
            reconnects += (long long)icy.Spans("/l" + std::to_string(i)).size() - 1;
            const QStringList list = FilesInOrder(folder(i), names[i]);
            if (i < own) {
                files += list.size();
                long long next = -1;
                for (const QString& file : list) {
                    const std::string bytes = WithoutId3(file);
                    for (const std::string_view frame : Mp3Frames(bytes, &foreign)) {
                        const auto it = frameIndex.find(frame);
                        if (it == frameIndex.end()) {
                            foreign += (long long)frame.size();
                            continue;
                        }
                        // How far this frame stands from the one expected: ahead is lost, behind repeated.
                        const long long ahead = next < 0 ? 0 : ((it->second - next) % n + n) % n;
                        if (ahead < n / 2)
                            lost += ahead;
                        else
                            repeated += n - ahead;
                        next = (it->second + 1) % n;
                    }
                }
                continue;
            }
            // Each file between two titles lasts as long as the stream between them; the first
            // from the stream's first byte, unless a file of the station's name holds that.
            lameFiles += list.size();
            const bool lead = !list.isEmpty() && list.front().startsWith(folder(i) + u'/' + names[i] + u'.');
            for (qsizetype f = lead ? 1 : 0; f + 1 < list.size(); ++f) {
                const size_t song = list[f].section(u' ', -1).section(u'.', 0, 0).toUInt();
                if (song + 1 >= titleAt[i].size())
                    continue;
                const long long from = song || lead ? titleAt[i][song] : 0;
                const double off = double(test::MonoSound(list[f]).size()) / 44100 -
                                   double(titleAt[i][song + 1] - from) / bytesPerSecond;
                double& largest = song ? lameOffFrames : lameFirstOffFrames;
                largest = std::max(largest, std::abs(off) / (1152 / 44100.0));
            }
        }
        state.counters["files"] = double(files);
        state.counters["lost_frames"] = double(lost);
        state.counters["repeated_frames"] = double(repeated);
        state.counters["foreign_bytes"] = double(foreign);
        state.counters["reconnects"] = double(reconnects);
        state.counters["lame_files"] = double(lameFiles);
        state.counters["lame_off_frames"] = lameOffFrames;
        state.counters["lame_first_off_frames"] = lameFirstOffFrames;
    }
    test::RemoveTree(dir);
}
BENCHMARK(BM_LongRun)->Iterations(1)->Unit(benchmark::kSecond);

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
