#include "tests/support/pulse_rig.h"

#include "tests/support/rig_threads.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace wavelot::test {

void PulseRig::Stop() {
    StopRecording();
    if (daemonPid_ > 0) {
        kill(daemonPid_, SIGTERM);
        for (int i = 0; i < 100 && kill(daemonPid_, 0) == 0; ++i)
            usleep(20000);
        kill(daemonPid_, SIGKILL);
        daemonPid_ = -1;
    }
}

PulseRig::~PulseRig() {
    Stop();
    if (hadServer_)
        setenv("PULSE_SERVER", oldServer_.c_str(), 1);
    else
        unsetenv("PULSE_SERVER");
    RemoveTree(dir_);
}

bool PulseRig::Start() {
    if (!ProgramAvailable("pulseaudio") || !ProgramAvailable("parec")) {
        error_ = "pulseaudio and parec must be installed (scripts/install-deps.sh)";
        return false;
    }
    dir_ = MakeTempDir("wavelot-pulse");
    if (dir_.empty()) {
        error_ = "no temporary folder";
        return false;
    }
    chmod(dir_.c_str(), 0700);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir_, "HOME=" + dir_,
                                          "PULSE_SERVER=", "XDG_CONFIG_HOME=" + dir_ + "/config"};
    ChildProcess daemon;
    if (!daemon.Start(
            {"pulseaudio", "-D", "--exit-idle-time=20", "-n", "--daemonize=yes", "--use-pid-file=yes",
             "--load=module-null-sink sink_name=wavelot_null rate=44100 channels=2",
             "--load=module-native-protocol-unix auth-anonymous=1"},
            false, env, dir_ + "/pulse.log")) {
        error_ = "pulseaudio did not start";
        return false;
    }
    int status = -1;
    if (!daemon.Wait(10000, &status) || status != 0) {
        error_ = "pulseaudio failed (see " + dir_ + "/pulse.log)";
        return false;
    }
    std::ifstream pid(dir_ + "/pulse/pid");
    pid >> daemonPid_;
    const std::string socket = dir_ + "/pulse/native";
    for (int i = 0; i < 100; ++i) {
        struct stat st {};
        if (stat(socket.c_str(), &st) == 0)
            break;
        usleep(20000);
    }
    if (const char* old = std::getenv("PULSE_SERVER")) {
        hadServer_ = true;
        oldServer_ = old;
    }
    setenv("PULSE_SERVER", Server().c_str(), 1);
    return true;
}

bool PulseRig::StartRecording() {
    StopRecording();
    {
        std::lock_guard lock(mu_);
        samples_.clear();
    }
    if (!parec_.Start({"parec", "-s", Server(), "-d", "wavelot_null.monitor", "--format=float32le",
                       "--rate=44100", "--channels=2"},
                      true))
        return false;
    reader_ = std::thread([this] {
        RigThread rig("monitor");
        std::vector<char> pending;
        char buf[8192];
        for (;;) {
            pollfd p{parec_.StdoutFd(), POLLIN, 0};
            int r = poll(&p, 1, 100);
            if (r < 0)
                break;
            if (r == 0) {
                if (!parec_.Running())
                    break;
                continue;
            }
            ssize_t n = read(parec_.StdoutFd(), buf, sizeof buf);
            if (n <= 0)
                break;
            pending.insert(pending.end(), buf, buf + n);
            const size_t whole = pending.size() / sizeof(float) * sizeof(float);
            std::lock_guard lock(mu_);
            const size_t at = samples_.size();
            samples_.resize(at + whole / sizeof(float));
            std::memcpy(samples_.data() + at, pending.data(), whole);
            pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(whole));
        }
    });
    return true;
}

std::vector<float> PulseRig::StopRecording() {
    if (!reader_.joinable())
        return {};
    // SIGTERM makes parec flush and exit; the reader then sees the end of the pipe.
    if (parec_.Pid() > 0)
        kill(parec_.Pid(), SIGTERM);
    reader_.join();
    parec_.Stop(1000);
    std::lock_guard lock(mu_);
    std::vector<float> out;
    out.swap(samples_);
    if (out.size() % 2)
        out.pop_back();
    return out;
}

double EstimateFrequency(const std::vector<float>& stereo, int rate) {
    const size_t frames = stereo.size() / 2;
    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i)
        mono[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    // Only the loud stretch counts: recordings start and end with silence.
    size_t first = frames, last = 0;
    for (size_t i = 0; i < frames; ++i) {
        if (std::fabs(mono[i]) > 0.02f) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first >= last || last - first < size_t(rate) / 20)
        return 0;
    size_t crossings = 0;
    size_t firstCross = 0, lastCross = 0;
    for (size_t i = first + 1; i <= last; ++i) {
        if ((mono[i - 1] < 0) != (mono[i] < 0) && mono[i - 1] < 0) {
            if (crossings == 0)
                firstCross = i;
            lastCross = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return double(crossings - 1) * rate / double(lastCross - firstCross);
}

double Rms(const std::vector<float>& stereo, size_t skipFrames) {
    const size_t frames = stereo.size() / 2;
    if (frames <= skipFrames)
        return 0;
    double sum = 0;
    for (size_t i = skipFrames; i < frames; ++i) {
        const double m = 0.5 * (stereo[2 * i] + stereo[2 * i + 1]);
        sum += m * m;
    }
    return std::sqrt(sum / double(frames - skipFrames));
}

}  // namespace wavelot::test
