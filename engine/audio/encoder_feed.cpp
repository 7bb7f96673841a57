#include "engine/audio/encoder_feed.h"

#include "engine/audio/audio_library.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

extern char** environ;

namespace wavelot::audio {

namespace {

void PutLe(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(char((v >> (8 * i)) & 0xFF));
}

// This process's environment with LC_ALL set to a UTF-8 locale: the arguments are UTF-8, and a
// program such as lame converts its text arguments by the locale (under "C" it silently drops
// every tag that is not ASCII). C.UTF-8 is built into the C library, so it always exists.
std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "LC_ALL=", 7) != 0)
            env.emplace_back(*e);
    }
    env.emplace_back("LC_ALL=C.UTF-8");
    return env;
}

}  // namespace

std::string OpenEndedWavHeader(int rate, int channels) {
    std::string h;
    h += "RIFF";
    PutLe(h, 0xFFFFFFFFu, 4);
    h += "WAVEfmt ";
    PutLe(h, 16, 4);
    PutLe(h, 1, 2);  // PCM
    PutLe(h, uint32_t(channels), 2);
    PutLe(h, uint32_t(rate), 4);
    PutLe(h, uint32_t(rate * channels * 2), 4);
    PutLe(h, uint32_t(channels * 2), 2);
    PutLe(h, 16, 2);
    h += "data";
    PutLe(h, 0xFFFFFFFFu, 4);
    return h;
}

std::unique_ptr<EncoderFeed> EncoderFeed::Start(const QStringList& argv, int rate, bool wavHeader) {
    if (argv.isEmpty() || argv.first().isEmpty())
        return nullptr;
    std::vector<std::string> args;
    for (const QString& a : argv)
        args.push_back(a.toStdString());
    std::vector<char*> cargv;
    for (std::string& a : args)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> env = ChildEnvironment();
    std::vector<char*> cenv;
    for (std::string& e : env)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return nullptr;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[0], 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    // The child must not inherit the decoder's blocked signals or our SIGPIPE handling.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t dflt;
    sigemptyset(&dflt);
    sigaddset(&dflt, SIGPIPE);
    posix_spawnattr_setsigdefault(&attr, &dflt);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const bool hasSlash = args.front().find('/') != std::string::npos;
    int rc = hasSlash ? posix_spawn(&pid, cargv[0], &fa, &attr, cargv.data(), cenv.data())
                      : posix_spawnp(&pid, cargv[0], &fa, &attr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        return nullptr;
    }
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    std::unique_ptr<EncoderFeed> feed(new EncoderFeed(pid, fds[1], rate));
    if (wavHeader) {
        std::lock_guard lock(feed->mu_);
        feed->queue_.push_back(OpenEndedWavHeader(rate, 2));
        feed->queuedBytes_ += feed->queue_.back().size();
    }
    feed->writer_ = std::thread([f = feed.get()] { f->WriterLoop(); });
    return feed;
}

EncoderFeed::EncoderFeed(pid_t pid, int fd, int rate) : pid_(pid), rate_(rate), fd_(fd) {}

EncoderFeed::~EncoderFeed() {
    Stop();
}

void EncoderFeed::Push(const float* frames, size_t count) {
    std::string chunk(count * 4, '\0');
    for (size_t i = 0; i < count * 2; ++i) {
        const float v = std::clamp(frames[i], -1.0f, 1.0f);
        const auto s = static_cast<int16_t>(std::lrint(v * 32767.0f));
        chunk[2 * i] = char(s & 0xFF);
        chunk[2 * i + 1] = char((s >> 8) & 0xFF);
    }
    bool drop = false;
    bool wake = false;
    {
        std::lock_guard lock(mu_);
        if (dead_ || closing_)
            return;
        if (queuedBytes_ + chunk.size() > size_t(rate_) * 4 * kMaxBacklogSeconds) {
            DieLocked();
            drop = true;
        } else {
            queuedBytes_ += chunk.size();
            queue_.push_back(std::move(chunk));
            wake = queuedBytes_ >= size_t(rate_) * 4 * kBatchMs / 1000;
        }
    }
    if (drop) {
        kill(pid_, SIGKILL);
        Report(ENCODE_NOTIFY_ENCODER);
    }
    if (drop || wake)
        cv_.notify_all();
}

void EncoderFeed::DieLocked() {
    if (!dead_ && !closing_)
        diedUnasked_ = true;
    dead_ = true;
}

void EncoderFeed::Report(quint32 kind) {
    Notify notify;
    {
        std::lock_guard lock(mu_);
        if (!notify_)
            return;
        bool& reported = kind == ENCODE_NOTIFY_ENCODER ? deathReported_ : freeReported_;
        if (reported || (kind == ENCODE_NOTIFY_ENCODER && !diedUnasked_))
            return;
        reported = true;
        notify = notify_;
    }
    notify(kind);
}

void EncoderFeed::SetNotify(Notify notify) {
    {
        std::lock_guard lock(mu_);
        notify_ = std::move(notify);
    }
    Report(ENCODE_NOTIFY_ENCODER);
}

void EncoderFeed::WriterLoop() {
    // A write to an encoder that died must fail with EPIPE, not end the program.
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, nullptr);
    const size_t batchBytes = size_t(rate_) * 4 * kBatchMs / 1000;
    for (;;) {
        std::string chunk;
        {
            // Sound is handed over in batches: a few large writes a second wake the encoder
            // far less often than one per decoded block.
            std::unique_lock lock(mu_);
            cv_.wait_for(lock, std::chrono::milliseconds(kBatchMs),
                         [&] { return dead_ || closing_ || queuedBytes_ >= batchBytes; });
            if (dead_)
                break;
            if (queue_.empty()) {
                if (closing_)
                    break;
                continue;
            }
            chunk.reserve(queuedBytes_);
            for (std::string& c : queue_)
                chunk += c;
            queue_.clear();
        }
        size_t off = 0;
        bool failed = false;
        while (off < chunk.size() && !failed) {
            ssize_t n = write(fd_, chunk.data() + off, chunk.size() - off);
            if (n > 0) {
                off += size_t(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 100);
                std::lock_guard lock(mu_);
                failed = dead_;
            } else {
                failed = true;
            }
        }
        std::lock_guard lock(mu_);
        queuedBytes_ -= chunk.size();
        if (failed) {
            DieLocked();
            break;
        }
    }
    close(fd_);
    fd_ = -1;
    {
        std::lock_guard lock(mu_);
        writerDone_ = true;
        cv_.notify_all();
    }
    Report(ENCODE_NOTIFY_ENCODER);
}

void EncoderFeed::Stop() {
    {
        std::unique_lock lock(mu_);
        if (reaped_)
            return;
        closing_ = true;
        cv_.notify_all();
        // The program gets a few seconds to take what is queued; a hung one is killed.
        if (!cv_.wait_for(lock, std::chrono::seconds(3), [&] { return writerDone_; })) {
            dead_ = true;
            lock.unlock();
            kill(pid_, SIGKILL);
            cv_.notify_all();
        }
    }
    if (writer_.joinable())
        writer_.join();
    Reap(3000);
    Report(ENCODE_NOTIFY_FREE);
}

void EncoderFeed::Reap(int waitMs) {
    std::lock_guard lock(mu_);
    if (reaped_)
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        usleep(5000);
    }
    reaped_ = true;
    dead_ = true;
}

bool EncoderFeed::Alive() const {
    std::lock_guard lock(mu_);
    if (dead_ || reaped_)
        return false;
    int status = 0;
    // Peeks without reaping: the pid stays ours until Reap.
    siginfo_t info{};
    info.si_pid = 0;
    if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
        return false;
    (void)status;
    return true;
}

}  // namespace wavelot::audio
