// wavelot-cli playing an HLS station beside an Icecast one, in one run: CPU of one core and peak
// resident memory of the process (from wait4), each the median of a few rounds.
//
//   build/bench/audio/hls_bench [--rounds N] [--seconds S]
//
// The HLS station is the tests' live one (master list, AAC segments of 2 s with ID3 titles,
// fetched and reloaded by the program's own list reader); the Icecast one an AAC mount of the
// same rate from ffmpeg. Both on 127.0.0.1, both heard through the same sound output.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/hls_server.h"
#include "tests/support/icecast_rig.h"

namespace {

using namespace Qt::StringLiterals;

struct Round {
    double cpuPercent = 0;
    double peakMiB = 0;
    bool ok = false;
};

Round Play(const std::string& exe, const std::string& url, int seconds) {
    const std::string secs = std::to_string(seconds);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(exe.c_str(), exe.c_str(), "play", url.c_str(), "--seconds", secs.c_str(), nullptr);
        _exit(127);
    }
    Round r;
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid)
        return r;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.cpuPercent = 100.0 * cpu / wall;
    r.peakMiB = double(ru.ru_maxrss) / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rounds = 3;
    int seconds = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(2, std::atoi(argv[++i]));
    }
    // A private copy of the program, so that its Setting/ folder is its own.
    QTemporaryDir dir;
    const QString exe = dir.filePath(u"wavelot-cli"_s);
    if (!QFile::copy(QCoreApplication::applicationDirPath() + u"/../../app/wavelot-cli"_s, exe)) {
        std::fprintf(stderr, "hls_bench: wavelot-cli not found beside the bench folder\n");
        return 1;
    }
    wavelot::test::HlsServer hls({{"Ann", "One", 440}, {"Bob", "Two", 880}}, 3, 2000);
    wavelot::test::IcecastRig ice;
    if (!hls.Ok() || !ice.Start() ||
        !ice.StartSource(
            {.mount = "/bench.aac", .codec = wavelot::test::IcecastRig::Codec::Aac, .bitrateKbps = 64})) {
        std::fprintf(stderr, "hls_bench: the stations did not start: %s\n", ice.Error().c_str());
        return 1;
    }
    const struct {
        const char* name;
        std::string url;
    } stations[] = {{"HLS (AAC 64 kbit/s, 2 s segments)", hls.Url()},
                    {"Icecast (AAC 64 kbit/s)", ice.Url("/bench.aac")}};
    std::printf(
        "%d rounds of %d s each\n\n| Station | CPU of one core | Peak resident memory |\n|---|---|---|\n",
        rounds, seconds);
    for (const auto& s : stations) {
        std::vector<double> cpu, peak;
        int failed = 0;
        for (int r = 0; r < rounds; ++r) {
            const Round round = Play(exe.toStdString(), s.url, seconds);
            failed += round.ok ? 0 : 1;
            cpu.push_back(round.cpuPercent);
            peak.push_back(round.peakMiB);
        }
        std::printf("| %s | %.2f %% | %.1f MiB |%s\n", s.name, Median(cpu), Median(peak),
                    failed ? " (a round failed)" : "");
    }
    return 0;
}
