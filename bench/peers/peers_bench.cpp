// Wavelot beside mpv and ffplay on the same loopback station, in one run: time from process
// start to the first sample heard at the sound server's monitor, how long that was after a bare
// socket, asking the same mount at the same moment, got the server's first audio byte (the
// server's own wait is the floor for every player), CPU of one core (from wait4) and peak
// resident memory, each the median of a few rounds.
//
//   build/bench/peers/peers_bench [--rounds N] [--seconds S]
//
// Each round gets a fresh PulseAudio server with a null sink, kept at low latency by a silent
// 10 ms stream started 3 s before (an idle null sink renders in 2 s blocks and would delay every
// player's first sound by about a second), and a fresh process of the player. The station is an
// Icecast MP3 mount at 128 kbit/s on 127.0.0.1. mpv and ffplay come from
// scripts/install-bench-deps.sh; without them Wavelot is measured alone.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/pulse_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using wavelot::test::ChildProcess;
using wavelot::test::IcecastRig;
using wavelot::test::ProgramAvailable;
using wavelot::test::PulseRig;

struct Player {
    std::string name;
    std::vector<std::string> argv;  // the station address is appended
    std::vector<std::string> env;
};

struct Round {
    double firstSoundMs = -1;  // -1: nothing was heard
    double firstByteMs = -1;   // the bare socket's first audio byte; -1: none came
    double cpuPercent = 0;
    double peakMiB = 0;
};

// Reads the null sink's monitor and notes when the first sample louder than silence arrived.
class MonitorWatch {
public:
    bool Start() {
        if (!parec_.Start({"parec", "-d", "wavelot_null.monitor", "--format=float32le", "--rate=44100",
                           "--channels=2", "--latency-msec=10"},
                          true))
            return false;
        reader_ = std::thread([this] { Read(); });
        return true;
    }
    ~MonitorWatch() {
        stop_ = true;
        parec_.Stop(500);
        if (reader_.joinable())
            reader_.join();
    }
    // Arms detection: only sound after this moment counts.
    void Arm() { armed_ = true; }
    std::optional<Clock::time_point> FirstLoud() const {
        const auto ns = firstLoud_.load();
        if (ns == 0)
            return std::nullopt;
        return Clock::time_point(Clock::duration(ns));
    }

private:
    void Read() {
        std::vector<float> buf(4096);
        const int fd = parec_.StdoutFd();
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = read(fd, buf.data(), buf.size() * sizeof(float));
            if (n <= 0)
                break;
            const auto now = Clock::now();
            const size_t count = size_t(n) / sizeof(float);
            if (!armed_ || firstLoud_.load() != 0)
                continue;
            for (size_t i = 0; i < count; ++i) {
                if (std::fabs(buf[i]) > 0.02f) {
                    // The chunk arrived now; the loud sample was played that many frames earlier.
                    const double framesAfter = double(count - i) / 2.0;
                    const auto at = now - std::chrono::microseconds(int64_t(framesAfter * 1e6 / 44100.0));
                    firstLoud_ = at.time_since_epoch().count();
                    break;
                }
            }
        }
    }
    ChildProcess parec_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> armed_{false};
    std::atomic<int64_t> firstLoud_{0};
};

// A bare socket asking the mount for audio: notes when the first byte after the answer's header
// block arrived.
class FirstByteWatch {
public:
    void Start(int port, const std::string& mount) {
        thread_ = std::thread([this, port, mount] { Read(port, mount); });
    }
    ~FirstByteWatch() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::optional<Clock::time_point> FirstByte() {
        if (thread_.joinable())
            thread_.join();
        return firstByte_;
    }

private:
    void Read(int port, const std::string& mount) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        const std::string req = "GET " + mount + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            send(fd, req.data(), req.size(), MSG_NOSIGNAL) != ssize_t(req.size())) {
            if (fd >= 0)
                close(fd);
            return;
        }
        std::string head;
        char buf[4096];
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!stop_ && Clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            const auto now = Clock::now();
            head.append(buf, size_t(n));
            const size_t end = head.find("\r\n\r\n");
            if (end != std::string::npos && head.size() > end + 4) {
                firstByte_ = now;
                break;
            }
        }
        close(fd);
    }
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::optional<Clock::time_point> firstByte_;
};

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    for (const std::string& e : env)
        putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

Round RunRound(const Player& player, const IcecastRig& ice, const std::string& mount, int seconds) {
    Round r;
    PulseRig pulse;
    if (!pulse.Start()) {
        std::fprintf(stderr, "peers_bench: %s\n", pulse.Error().c_str());
        return r;
    }
    ChildProcess keepAwake;
    keepAwake.Start({"pacat", "--latency-msec=10", "--format=s16le", "--rate=44100", "--channels=2", "-d",
                     "wavelot_null", "/dev/zero"});
    MonitorWatch watch;
    watch.Start();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    watch.Arm();

    std::vector<std::string> argv = player.argv;
    argv.push_back(ice.Url(mount));
    FirstByteWatch bare;
    const auto start = Clock::now();
    bare.Start(ice.Port(), mount);
    const pid_t pid = Spawn(argv, player.env);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    kill(pid, SIGTERM);
    int status = 0;
    rusage ru{};
    pid_t done = 0;
    for (int i = 0; i < 300 && done == 0; ++i) {
        done = wait4(pid, &status, WNOHANG, &ru);
        if (done == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        wait4(pid, &status, 0, &ru);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.cpuPercent = 100.0 * cpu / wall;
    r.peakMiB = double(ru.ru_maxrss) / 1024.0;
    if (const auto heard = watch.FirstLoud())
        r.firstSoundMs = std::chrono::duration<double, std::milli>(*heard - start).count();
    if (const auto byte = bare.FirstByte())
        r.firstByteMs = std::chrono::duration<double, std::milli>(*byte - start).count();
    return r;
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

std::string CliPath(const char* self) {
    if (const char* build = std::getenv("WAVELOT_BUILD_DIR"))
        return std::string(build) + "/app/wavelot-cli";
    namespace fs = std::filesystem;
    return (fs::canonical(fs::path(self)).parent_path() / "../../app/wavelot-cli")
        .lexically_normal()
        .string();
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    int seconds = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(5, std::atoi(argv[i + 1]));
    }
    std::vector<Player> players = {{"wavelot-cli play", {CliPath(argv[0]), "play", "--volume", "100"}, {}}};
    if (ProgramAvailable("mpv"))
        players.push_back({"mpv --no-video", {"mpv", "--no-video", "--no-terminal", "--ao=pulse"}, {}});
    else
        std::printf("mpv is not installed (scripts/install-bench-deps.sh): measuring without it\n");
    if (ProgramAvailable("ffplay"))
        players.push_back(
            {"ffplay -nodisp", {"ffplay", "-nodisp", "-loglevel", "quiet"}, {"SDL_AUDIODRIVER=pulseaudio"}});
    else
        std::printf("ffplay is not installed (scripts/install-bench-deps.sh): measuring without it\n");

    IcecastRig ice;
    if (!ice.Start() || !ice.StartSource({.mount = "/peers.mp3", .frequency = 440, .amplitude = 0.5})) {
        std::fprintf(stderr, "peers_bench: %s\n", ice.Error().c_str());
        return 1;
    }
    const std::string mount = "/peers.mp3";

    struct Summary {
        std::string name;
        double firstMs, afterByteMs, byteMs, cpu, peak;
        int heard;
    };
    std::vector<Summary> table;
    for (const Player& p : players) {
        std::vector<double> first, afterByte, byte, cpu, peak;
        int heard = 0;
        for (int r = 0; r < rounds; ++r) {
            const Round round = RunRound(p, ice, mount, seconds);
            if (round.firstSoundMs >= 0) {
                first.push_back(round.firstSoundMs);
                ++heard;
            }
            if (round.firstByteMs >= 0)
                byte.push_back(round.firstByteMs);
            if (round.firstSoundMs >= 0 && round.firstByteMs >= 0)
                afterByte.push_back(round.firstSoundMs - round.firstByteMs);
            cpu.push_back(round.cpuPercent);
            peak.push_back(round.peakMiB);
            std::printf(
                "  %-18s round %d: first sound %7.0f ms (server's first byte %5.0f ms), CPU %5.2f %%, "
                "peak %5.1f MiB\n",
                p.name.c_str(), r + 1, round.firstSoundMs, round.firstByteMs, round.cpuPercent,
                round.peakMiB);
            std::fflush(stdout);
        }
        table.push_back(
            {p.name, Median(first), Median(afterByte), Median(byte), Median(cpu), Median(peak), heard});
    }

    std::printf("\n%d rounds of %d s, medians\n", rounds, seconds);
    std::printf(
        "| Player | First sound | Server's first byte (bare socket) | Heard after that byte | CPU of one "
        "core | Peak resident memory |\n|---|---|---|---|---|---|\n");
    for (const Summary& s : table)
        std::printf("| `%s` | %.0f ms%s | %.0f ms | %.0f ms | %.2f %% | %.0f MiB |\n", s.name.c_str(),
                    s.firstMs, s.heard == rounds ? "" : " (not always heard)", s.byteMs, s.afterByteMs, s.cpu,
                    s.peak);
    const Summary& w = table.front();
    for (size_t i = 1; i < table.size(); ++i) {
        const Summary& o = table[i];
        std::printf("Wavelot / %s: first sound %.2f x, CPU %.2f x, peak memory %.2f x\n", o.name.c_str(),
                    o.firstMs > 0 ? w.firstMs / o.firstMs : 0.0, o.cpu > 0 ? w.cpu / o.cpu : 0.0,
                    o.peak > 0 ? w.peak / o.peak : 0.0);
    }
    return 0;
}
