#include "engine/audio/encoder_feed.h"

#include "engine/audio/audio_library.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

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
    if (wavHeader)
        feed->header_ = OpenEndedWavHeader(rate, 2);
    feed->writer_ = std::thread([f = feed.get()] {
        pthread_setname_np(pthread_self(), "encfeed");
        f->WriterLoop();
    });
    return feed;
}

EncoderFeed::EncoderFeed(pid_t pid, int fd, int rate) : pid_(pid), rate_(rate), fd_(fd) {}

EncoderFeed::~EncoderFeed() {
    Stop();
}

void EncoderFeed::Attach(std::shared_ptr<const SampleHistory> history, Begin begin, size_t delayFrames) {
    {
        std::lock_guard lock(mu_);
        if (history_ || !history || closing_)
            return;
        history_ = std::move(history);
        wake_ = true;
        delay_ = delayFrames;
        begin_ = std::move(begin);
        searching_ = begin_.after != nullptr;
        position_ = begin_.frame;
    }
    cv_.notify_all();
}

quint64 EncoderFeed::Position() const {
    std::lock_guard lock(mu_);
    return position_;
}

std::optional<quint64> EncoderFeed::BeginFrame() const {
    std::lock_guard lock(mu_);
    if (searching_ || !history_)
        return std::nullopt;
    return begin_.frame;
}

EncoderFeed::Begin EncoderFeed::PendingBegin() const {
    std::lock_guard lock(mu_);
    return searching_ ? begin_ : Begin{};
}

quint64 EncoderFeed::EndAt(quint64 end) {
    quint64 kept = 0;
    {
        std::lock_guard lock(mu_);
        kept = std::max(end, position_);
        end_ = kept;
        wake_ = true;
    }
    cv_.notify_all();
    return kept;
}

void EncoderFeed::DieLocked() {
    if (!dead_ && !closing_)
        diedUnasked_ = true;
    dead_ = true;
}

void EncoderFeed::ReportDeath() {
    Notify notify;
    quint32 kind = ENCODE_NOTIFY_ENCODER;
    {
        std::lock_guard lock(mu_);
        if (!notify_ || deathReported_ || !(diedUnasked_ || stalled_))
            return;
        deathReported_ = true;
        notify = notify_;
        if (stalled_)
            kind = ENCODE_NOTIFY_STALLED;
    }
    notify(kind);
}

void EncoderFeed::ReportFree() {
    Notify notify;
    {
        std::lock_guard lock(mu_);
        if (!notify_ || freeReported_)
            return;
        freeReported_ = true;
        notify = notify_;
    }
    notify(ENCODE_NOTIFY_FREE);
}

void EncoderFeed::SetNotify(Notify notify) {
    {
        std::lock_guard lock(mu_);
        notify_ = std::move(notify);
    }
    ReportDeath();
}

bool EncoderFeed::ResolveBegin(bool final) {
    std::shared_ptr<const SampleHistory> history;
    Begin begin;
    {
        std::lock_guard lock(mu_);
        if (!searching_)
            return true;
        history = history_;
        begin = begin_;
    }
    const std::optional<quint64> frame = ContinuationBegin(*history, *begin.after, begin.frame, final);
    if (!frame)
        return false;
    std::lock_guard lock(mu_);
    searching_ = false;
    begin_.frame = *frame;
    begin_.after.reset();
    // A switch meanwhile may have ended this feed before its begin; it then holds nothing.
    position_ = end_ ? std::min(*frame, *end_) : *frame;
    return true;
}

bool EncoderFeed::WriteReplay(const BufferReplay& replay, const SampleHistory& history) {
    const quint64 margin = quint64(rate_);
    bool failed = false;
    std::string bytes;
    quint64 from = 0;
    {
        std::lock_guard lock(mu_);
        from = position_;
    }
    replay.Run(from, [&](quint64 first, const int16_t* frames, size_t count) {
        quint64 at = 0;
        size_t n = 0;
        {
            std::lock_guard lock(mu_);
            if (dead_)
                return false;
            // Frames the replay could not give (a gap in the buffer) are stepped over.
            position_ = std::max(position_, first);
            at = position_;
            if ((end_ && at >= *end_) || (at >= history.Start() + margin && at < history.End()))
                return false;
            if (first + count <= at)
                return true;
            n = size_t(first + count - at);
            if (end_)
                n = size_t(std::min<quint64>(n, *end_ - at));
        }
        const int16_t* src = frames + (at - first) * 2;
        bytes.resize(n * 4);
        for (size_t i = 0; i < n * 2; ++i) {
            const auto v = static_cast<uint16_t>(src[i]);
            bytes[2 * i] = char(v & 0xFF);
            bytes[2 * i + 1] = char(v >> 8);
        }
        if (!WriteAll(bytes.data(), bytes.size())) {
            failed = true;
            return false;
        }
        std::lock_guard lock(mu_);
        position_ = at + n;
        return true;
    });
    return !failed;
}

bool EncoderFeed::WriteAll(const char* data, size_t size) {
    using Clock = std::chrono::steady_clock;
    auto progress = Clock::now();
    size_t off = 0;
    while (off < size) {
        const ssize_t n = write(fd_, data + off, size - off);
        if (n > 0) {
            off += size_t(n);
            progress = Clock::now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 100);
        std::lock_guard lock(mu_);
        if (dead_)
            return false;
        // A program that takes nothing for this long has hung: it is dropped rather than let
        // the history run away from it, or a stop wait for it (a slow one that keeps taking is
        // waited for).
        if (Clock::now() - progress > std::chrono::seconds(kMaxStallSeconds)) {
            stalled_ = true;
            return false;
        }
    }
    return true;
}

void EncoderFeed::WriterLoop() {
    // A write to an encoder that died must fail with EPIPE, not end the program.
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, nullptr);
    std::vector<int16_t> samples(size_t(rate_) * 2);  // one second at a time
    std::string bytes;
    bool failed = false;
    std::string header;
    {
        std::lock_guard lock(mu_);
        header.swap(header_);
    }
    if (!header.empty())
        failed = !WriteAll(header.data(), header.size());
    while (!failed) {
        std::shared_ptr<const SampleHistory> history;
        bool closing = false;
        {
            std::unique_lock lock(mu_);
            cv_.wait_for(lock, std::chrono::milliseconds(kBatchMs), [&] { return dead_ || wake_; });
            wake_ = false;
            if (dead_)
                break;
            history = history_;
            closing = closing_;
        }
        if (!history) {
            if (closing)
                break;
            continue;
        }
        // An encoder that exited while it had nothing to read shows as an error on the pipe.
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP))) {
            failed = true;
            break;
        }
        if (!ResolveBegin(closing))
            continue;
        std::shared_ptr<const BufferReplay> replay;
        {
            std::lock_guard lock(mu_);
            replay = std::exchange(begin_.replay, nullptr);
            replaying_ = replay != nullptr;
        }
        if (replay) {
            failed = !WriteReplay(*replay, *history);
            std::lock_guard lock(mu_);
            replaying_ = false;
            // Bytes that ran out before the history was reached leave a gap rather than end the file.
            if (position_ < history->Start() && (!end_ || *end_ > history->Start()))
                position_ = history->Start();
            if (failed)
                break;
        }
        bool done = false;
        for (;;) {
            const quint64 decoded = history->End();
            const bool ended = history->Ended();
            quint64 from = 0, limit = 0;
            {
                std::lock_guard lock(mu_);
                if (position_ < history->Start()) {
                    failed = true;  // the history moved on without it: sound was lost
                    break;
                }
                from = position_;
                if (end_)
                    limit = std::min(*end_, decoded);
                else if (ended || closing_)
                    limit = decoded;
                else
                    limit = decoded > delay_ ? decoded - delay_ : 0;
                limit = std::max(limit, from);
                done =
                    closing_ && (end_ ? from >= *end_ || (ended && from >= decoded) : true) && limit == from;
            }
            if (limit == from)
                break;
            const size_t n = history->Read(from, size_t(std::min<quint64>(limit - from, samples.size() / 2)),
                                           samples.data());
            if (n == 0) {
                failed = true;
                break;
            }
            {
                std::lock_guard lock(mu_);
                position_ = from + n;
            }
            bytes.resize(n * 4);
            for (size_t i = 0; i < n * 2; ++i) {
                const auto v = static_cast<uint16_t>(samples[i]);
                bytes[2 * i] = char(v & 0xFF);
                bytes[2 * i + 1] = char(v >> 8);
            }
            if (!WriteAll(bytes.data(), bytes.size())) {
                failed = true;
                break;
            }
        }
        if (done)
            break;
    }
    bool cutOff = failed;
    {
        std::lock_guard lock(mu_);
        if (failed)
            DieLocked();
        cutOff = cutOff || dead_;  // Stop gave up on it
        dead_ = true;              // from here on the pid is the writer's to reap
    }
    // It may have stopped reading rather than exited; a program not yet reaped keeps its pid, so
    // this reaches no other process.
    if (cutOff)
        kill(pid_, SIGKILL);
    close(fd_);
    fd_ = -1;
    Reap(kExitWaitMs);
    {
        std::lock_guard lock(mu_);
        writerDone_ = true;
    }
    cv_.notify_all();
    ReportDeath();
}

void EncoderFeed::Close() {
    {
        std::lock_guard lock(mu_);
        if (closing_)
            return;
        if (!end_ && history_)
            end_ = std::max(history_->End(), position_);
        closing_ = true;
        wake_ = true;
    }
    cv_.notify_all();
}

void EncoderFeed::Stop() {
    Close();
    {
        std::unique_lock lock(mu_);
        // A program that keeps taking sound, however slowly, is cut off in the end; one that is
        // handed sound decoded again from the buffer is waited for while it makes progress.
        quint64 before = position_;
        while (!cv_.wait_for(lock, std::chrono::seconds(kStopLimitSeconds), [&] { return writerDone_; }) &&
               replaying_ && position_ > before)
            before = position_;
        if (!writerDone_) {
            dead_ = true;
            lock.unlock();
            cv_.notify_all();
        }
    }
    if (writer_.joinable())
        writer_.join();
    ReportFree();
}

void EncoderFeed::Reap(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r != 0 && !(r < 0 && errno == EINTR))
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        usleep(5000);
    }
    std::lock_guard lock(mu_);
    reaped_ = true;
}

bool EncoderFeed::Alive() const {
    std::lock_guard lock(mu_);
    if (dead_ || reaped_)
        return false;
    // Peeks without reaping: the pid stays ours until Reap, which comes after dead_ is set.
    siginfo_t info{};
    info.si_pid = 0;
    if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
        return false;
    return true;
}

FeedRetirer::~FeedRetirer() {
    Drain();
    {
        std::lock_guard lock(mu_);
        quit_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void FeedRetirer::Retire(std::unique_ptr<EncoderFeed> feed) {
    if (!feed)
        return;
    feed->Close();
    {
        std::lock_guard lock(mu_);
        queue_.push_back(std::move(feed));
        if (!thread_.joinable())
            thread_ = std::thread([this] {
                pthread_setname_np(pthread_self(), "encstop");
                Loop();
            });
    }
    cv_.notify_all();
}

void FeedRetirer::Drain() {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

void FeedRetirer::Loop() {
    for (;;) {
        std::unique_ptr<EncoderFeed> feed;
        {
            std::unique_lock lock(mu_);
            cv_.wait(lock, [&] { return quit_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            feed = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        feed->Stop();
        feed.reset();
        {
            std::lock_guard lock(mu_);
            busy_ = false;
        }
        cv_.notify_all();
    }
}

}  // namespace wavelot::audio
