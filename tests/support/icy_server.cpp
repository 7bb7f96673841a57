#include "tests/support/icy_server.h"

#include "tests/support/child_process.h"
#include "tests/support/rig_threads.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace wavelot::test {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A listening socket on 127.0.0.1:port (0: a free one); -1 when it cannot be had.
int Listen(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

IcyServer::IcyServer() {
    listen_ = Listen(0);
    if (listen_ >= 0) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptThread_ = std::thread([this] {
            RigThread rig("icy");
            AcceptLoop();
        });
    }
}

IcyServer::~IcyServer() {
    stop_ = true;
    DropAll();
    if (acceptThread_.joinable())
        acceptThread_.join();  // it closes the listening socket
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mu_);
        threads.swap(threads_);
    }
    for (auto& t : threads)
        t.join();
}

std::string IcyServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void IcyServer::SetStream(const std::string& path, const Stream& stream) {
    std::lock_guard lock(mu_);
    streams_[path] = stream;
    epochs_[path] = Clock::now();
}

void IcyServer::Pause(const std::string& path, int ms) {
    const auto now = Clock::now();
    std::lock_guard lock(mu_);
    pathHolds_[path].push_back({now, now + std::chrono::milliseconds(ms)});
}

void IcyServer::Away(int ms) {
    const auto now = Clock::now();
    {
        std::lock_guard lock(mu_);
        serverHolds_.push_back({now, now + std::chrono::milliseconds(ms)});
    }
    DropAll();
}

bool IcyServer::IsAway() const {
    const auto now = Clock::now();
    std::lock_guard lock(mu_);
    for (const Hold& h : serverHolds_)
        if (now >= h.from && now < h.to)
            return true;
    return false;
}

double IcyServer::TimelineMs(const std::string& path, Clock::time_point since) const {
    const auto now = Clock::now();
    double held = 0;
    const auto overlap = [&](const Hold& h) {
        const auto from = std::max(h.from, since), to = std::min(h.to, now);
        if (to > from)
            held += std::chrono::duration<double, std::milli>(to - from).count();
    };
    std::lock_guard lock(mu_);
    for (const Hold& h : serverHolds_)
        overlap(h);
    if (auto it = pathHolds_.find(path); it != pathHolds_.end())
        for (const Hold& h : it->second)
            overlap(h);
    return std::max(0.0, std::chrono::duration<double, std::milli>(now - since).count() - held);
}

std::vector<IcyServer::Span> IcyServer::Spans(const std::string& path) const {
    std::lock_guard lock(mu_);
    auto it = spans_.find(path);
    return it == spans_.end() ? std::vector<Span>{} : it->second;
}

void IcyServer::SetMeta(const std::string& path, const std::string& meta) {
    std::lock_guard lock(mu_);
    auto& m = meta_[path];
    m.first++;
    m.second = meta;
}

void IcyServer::DropAll() {
    std::lock_guard lock(mu_);
    dropGeneration_++;
    for (int fd : fds_)
        shutdown(fd, SHUT_RDWR);
}

std::vector<std::string> IcyServer::RequestHeads() const {
    std::lock_guard lock(mu_);
    return heads_;
}

std::string IcyServer::IcyHead(const std::string& name, int metaint, const std::string& contentType,
                               const std::string& genre, int bitrate) {
    std::string h = "ICY 200 OK\r\nicy-notice1:<BR>This stream requires Winamp<BR>\r\n";
    if (!name.empty())
        h += "icy-name:" + name + "\r\n";
    h += "icy-genre:" + genre + "\r\nicy-url:http://example.invalid\r\ncontent-type:" + contentType +
         "\r\nicy-pub:0\r\n";
    if (metaint > 0)
        h += "icy-metaint:" + std::to_string(metaint) + "\r\n";
    h += "icy-br:" + std::to_string(bitrate) + "\r\n";
    return h;
}

std::string IcyServer::MakeTone(const std::string& dir, int frequency, double seconds,
                                const std::string& codec, const std::string& format, int bitrateKbps,
                                const std::string& extension) {
    const std::string path = dir + "/tone" + std::to_string(frequency) + "_" + codec + "." + extension;
    ChildProcess ff;
    std::ostringstream dur;
    dur << seconds;
    if (!ff.Start({"ffmpeg",
                   "-nostdin",
                   "-loglevel",
                   "error",
                   "-y",
                   "-f",
                   "lavfi",
                   "-i",
                   "sine=frequency=" + std::to_string(frequency) + ":sample_rate=44100:duration=" + dur.str(),
                   "-af",
                   "volume=4",
                   "-ac",
                   "2",
                   "-c:a",
                   codec,
                   "-b:a",
                   std::to_string(bitrateKbps) + "k",
                   "-f",
                   format,
                   path}))
        return {};
    int status = -1;
    if (!ff.Wait(60000, &status) || status != 0)
        return {};
    return path;
}

void IcyServer::AcceptLoop() {
    while (!stop_) {
        // Away: the port is closed, so connects are refused at once as with a server that is down.
        if (IsAway() != (listen_ < 0)) {
            if (listen_ >= 0) {
                close(listen_);
                listen_ = -1;
            } else {
                listen_ = Listen(port_);
            }
        }
        if (listen_ < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        pollfd p{listen_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mu_);
        fds_.push_back(fd);
        threads_.emplace_back([this, fd] {
            RigThread rig("icy-conn");
            Serve(fd);
        });
    }
    if (listen_ >= 0)
        close(listen_);
    listen_ = -1;
}

void IcyServer::Serve(int fd) {
    open_++;
    const int generation = dropGeneration_;
    auto dropped = [&] { return stop_ || dropGeneration_ != generation; };
    std::string head;
    char buf[4096];
    const auto readBy = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < readBy &&
           !dropped()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        head.append(buf, size_t(n));
    }
    std::string path;
    {
        std::istringstream first(head.substr(0, head.find("\r\n")));
        std::string method;
        first >> method >> path;
        // An absolute address: we were asked as a proxy.
        if (path.rfind("http://", 0) == 0) {
            auto slash = path.find('/', 7);
            path = slash == std::string::npos ? "/" : path.substr(slash);
        }
        auto q = path.find('?');
        if (q != std::string::npos)
            path.resize(q);
    }
    Stream s;
    bool found = false;
    {
        std::lock_guard lock(mu_);
        heads_.push_back(head);
        auto it = streams_.find(path);
        if (it != streams_.end()) {
            s = it->second;
            found = true;
        }
    }
    if (s.delayMs > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(s.delayMs);
        while (std::chrono::steady_clock::now() < until && !dropped())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!found) {
        const std::string notFound = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        SendAll(fd, notFound.data(), notFound.size());
    } else if (!dropped()) {
        std::string out = s.head + "\r\n";
        if (s.audioFile.empty()) {
            out += s.body;
            SendAll(fd, out.data(), out.size());
        } else if (SendAll(fd, out.data(), out.size())) {
            const std::string audio = ReadFile(s.audioFile);
            const auto connected = Clock::now();
            const double bytesPerMs = s.bytesPerSecond / 1000.0;
            // Where this listener joins the timeline, and how much it may have by now.
            long long origin = 0;
            size_t spanIndex = 0;
            if (s.live) {
                Clock::time_point epoch;
                {
                    std::lock_guard lock(mu_);
                    epoch = epochs_[path];
                }
                // The timeline is a full burst old when the path is set: every listener gets one.
                origin = (long long)(TimelineMs(path, epoch) * bytesPerMs);
                std::lock_guard lock(mu_);
                spans_[path].push_back({origin, origin});
                spanIndex = spans_[path].size() - 1;
            }
            const auto allowed = [&] {
                if (s.bytesPerSecond <= 0)
                    return std::numeric_limits<long long>::max();
                if (s.live) {
                    Clock::time_point epoch;
                    {
                        std::lock_guard lock(mu_);
                        epoch = epochs_[path];
                    }
                    return s.burstBytes + (long long)(TimelineMs(path, epoch) * bytesPerMs) - origin;
                }
                return s.burstBytes + (long long)(TimelineMs(path, connected) * bytesPerMs);
            };
            size_t pos = audio.empty() ? 0 : size_t(origin % (long long)audio.size());
            long long sent = 0;
            int untilMeta = s.metaint;
            int metaVersion = 0;
            while (!audio.empty() && !dropped()) {
                if (s.closeAfterBytes > 0 && sent >= s.closeAfterBytes)
                    break;
                const long long room = allowed() - sent;
                if (room <= 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    continue;
                }
                size_t chunk = size_t(std::min<long long>(2048, room));
                if (s.metaint > 0)
                    chunk = std::min<size_t>(chunk, size_t(untilMeta));
                chunk = std::min(chunk, audio.size() - pos);
                std::string piece = audio.substr(pos, chunk);
                pos = (pos + chunk) % audio.size();
                sent += (long long)chunk;
                if (s.metaint > 0) {
                    untilMeta -= int(chunk);
                    if (untilMeta == 0) {
                        untilMeta = s.metaint;
                        std::string meta;
                        {
                            std::lock_guard lock(mu_);
                            auto m = meta_.find(path);
                            if (m != meta_.end() && m->second.first != metaVersion) {
                                metaVersion = m->second.first;
                                meta = m->second.second;
                            }
                        }
                        for (const auto& [offset, title] : s.titles)
                            if (offset == sent)
                                meta = title;
                        const size_t blocks = (meta.size() + 15) / 16;
                        piece.push_back(char(std::min<size_t>(blocks, 255)));
                        meta.resize(std::min<size_t>(blocks, 255) * 16, '\0');
                        piece += meta;
                    }
                }
                if (!SendAll(fd, piece.data(), piece.size()))
                    break;
                if (s.live) {
                    std::lock_guard lock(mu_);
                    spans_[path][spanIndex].to = origin + sent;
                }
            }
        }
    }
    {
        std::lock_guard lock(mu_);
        fds_.erase(std::remove(fds_.begin(), fds_.end(), fd), fds_.end());
    }
    if (dropped())
        shutdown(fd, SHUT_RDWR);
    close(fd);
    open_--;
}

}  // namespace wavelot::test
