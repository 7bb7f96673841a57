#include "tests/support/icecast_rig.h"

#include "tests/support/rig_threads.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace wavelot::test {

namespace {

int ConnectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Percent-encodes bytes as they are (titles in other code pages must reach Icecast unchanged).
std::string PercentEncode(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out.push_back(char(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

std::string Basic(const std::string& user, const std::string& pass) {
    return "Authorization: Basic " + QByteArray::fromStdString(user + ":" + pass).toBase64().toStdString() +
           "\r\n";
}

}  // namespace

int LoopbackGet(int port, const std::string& target, const std::string& extraHeaders, std::string* body,
                int timeoutMs) {
    int fd = ConnectLoopback(port);
    if (fd < 0)
        return 0;
    std::string req = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" +
                      extraHeaders + "\r\n";
    SendAll(fd, req.data(), req.size());
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (std::chrono::steady_clock::now() < deadline && answer.size() < 65536) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, size_t(n));
        // A live mount never ends its body: the headers are enough.
        if (!body && answer.find("\r\n\r\n") != std::string::npos)
            break;
    }
    close(fd);
    int status = 0;
    auto sp = answer.find(' ');
    if (sp != std::string::npos)
        status = std::atoi(answer.c_str() + sp + 1);
    if (body) {
        auto end = answer.find("\r\n\r\n");
        *body = end == std::string::npos ? std::string() : answer.substr(end + 4);
    }
    return status;
}

struct IcecastRig::Feed {
    ChildProcess encoder;
    int socket = -1;
    std::atomic<bool> stop{false};
    std::thread pump;
    ~Feed() {
        stop = true;
        encoder.Stop(500);
        if (socket >= 0)
            shutdown(socket, SHUT_RDWR);
        if (pump.joinable())
            pump.join();
        if (socket >= 0)
            close(socket);
    }
};

IcecastRig::IcecastRig() = default;

IcecastRig::~IcecastRig() {
    {
        std::lock_guard lock(mu_);
        feeds_.clear();
    }
    StopServer();
    RemoveTree(dir_);
}

std::string IcecastRig::Url(const std::string& mount) const {
    return "http://127.0.0.1:" + std::to_string(port_) + mount;
}

bool IcecastRig::Start() {
    if (!ProgramAvailable("icecast2") || !ProgramAvailable("ffmpeg")) {
        error_ = "icecast2 and ffmpeg must be installed (scripts/install-deps.sh)";
        return false;
    }
    dir_ = MakeTempDir("wavelot-icecast");
    if (dir_.empty()) {
        error_ = "no temporary folder";
        return false;
    }
    chmod(dir_.c_str(), 0755);
    const std::string logDir = dir_ + "/log";
    mkdir(logDir.c_str(), 0777);
    chmod(logDir.c_str(), 0777);
    port_ = FreeLoopbackPort();
    std::string security = "<security><chroot>0</chroot></security>";
    if (getuid() == 0) {
        // Icecast refuses to run as root; it switches user and then opens its logs.
        passwd* pw = getpwnam("icecast2");
        group* gr = getgrnam("icecast");
        if (pw && gr) {
            if (chown(logDir.c_str(), pw->pw_uid, gr->gr_gid) != 0) {
                error_ = "cannot hand the log folder to icecast2";
                return false;
            }
        }
        security =
            "<security><chroot>0</chroot><changeowner><user>icecast2</user><group>icecast</group>"
            "</changeowner></security>";
    }
    const std::string pw = kPassword;
    std::ofstream cfg(dir_ + "/icecast.xml");
    cfg << "<icecast><location>test</location><admin>test@localhost</admin>"
        << "<hostname>127.0.0.1</hostname>"
        << "<limits><clients>100</clients><sources>20</sources><queue-size>524288</queue-size>"
        << "<client-timeout>30</client-timeout><header-timeout>15</header-timeout>"
        << "<source-timeout>10</source-timeout><burst-on-connect>1</burst-on-connect>"
        << "<burst-size>65535</burst-size></limits>"
        << "<authentication><source-password>" << pw << "</source-password><relay-password>" << pw
        << "</relay-password><admin-user>admin</admin-user><admin-password>" << pw
        << "</admin-password></authentication>"
        << "<listen-socket><port>" << port_ << "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
        << "<fileserve>1</fileserve>"
        << "<paths><basedir>/usr/share/icecast2</basedir><logdir>" << logDir << "</logdir>"
        << "<webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot>"
        << "</paths><logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>"
        << "<loglevel>2</loglevel></logging>" << security << "</icecast>\n";
    cfg.close();
    if (!server_.Start({"icecast2", "-c", dir_ + "/icecast.xml"}, false, {}, dir_ + "/stdout.log")) {
        error_ = "icecast2 did not start";
        return false;
    }
    if (!WaitForPort(port_, 5000)) {
        error_ = "icecast2 does not answer on port " + std::to_string(port_) + " (see " + dir_ + ")";
        return false;
    }
    return true;
}

bool IcecastRig::MountLive(const std::string& mount) {
    return LoopbackGet(port_, mount, {}, nullptr, 1000) == 200;
}

// Connects a source socket for s and sends its request; the server's answer head, or empty
// (with error_ set) when it could not be asked.
std::string IcecastRig::SendSourceRequest(const Source& s, const std::string& contentType, Feed& feed) {
    error_.clear();
    feed.socket = ConnectLoopback(port_);
    if (feed.socket < 0) {
        error_ = "cannot reach icecast2";
        return {};
    }
    std::string req =
        "PUT " + s.mount + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n" +
        Basic("source", kPassword) + "User-Agent: wavelot-test-source\r\nContent-Type: " + contentType +
        "\r\nice-name: " + s.name + "\r\nice-genre: " + s.genre + "\r\nice-description: " + s.description +
        "\r\nice-url: " + s.url + "\r\nice-public: 0\r\n";
    if (s.sendAudioInfo)
        req += "ice-bitrate: " + std::to_string(s.bitrateKbps) +
               "\r\nice-audio-info: ice-samplerate=" + std::to_string(s.sampleRate) +
               ";ice-bitrate=" + std::to_string(s.bitrateKbps) +
               ";ice-channels=" + std::to_string(s.channels) + "\r\n";
    req += "\r\n";
    if (!SendAll(feed.socket, req.data(), req.size())) {
        error_ = "source request failed";
        return {};
    }
    std::string answer;
    char buf[4096];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (answer.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{feed.socket, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = recv(feed.socket, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, size_t(n));
    }
    return answer;
}

bool IcecastRig::StartSource(const Source& s) {
    auto feed = std::make_unique<Feed>();
    std::string codecArgs, format, contentType;
    const std::string br = std::to_string(s.bitrateKbps) + "k";
    switch (s.codec) {
    case Codec::Mp3:
        codecArgs = "libmp3lame";
        format = "mp3";
        contentType = "audio/mpeg";
        break;
    case Codec::Vorbis:
        codecArgs = "libvorbis";
        format = "ogg";
        contentType = "application/ogg";
        break;
    case Codec::Aac:
        codecArgs = "aac";
        format = "adts";
        contentType = "audio/aac";
        break;
    }
    const std::string sine =
        "sine=frequency=" + std::to_string(s.frequency) + ":sample_rate=" + std::to_string(s.sampleRate);
    const std::string volume = "volume=" + std::to_string(s.amplitude * 8.0);  // lavfi sine is 1/8 scale
    if (!feed->encoder.Start({"ffmpeg",
                              "-nostdin",
                              "-loglevel",
                              "error",
                              "-re",
                              "-f",
                              "lavfi",
                              "-i",
                              sine,
                              "-af",
                              volume,
                              "-ac",
                              std::to_string(s.channels),
                              "-c:a",
                              codecArgs,
                              "-b:a",
                              br,
                              "-f",
                              format,
                              "pipe:1"},
                             true)) {
        error_ = "ffmpeg did not start";
        return false;
    }
    // A mount whose source has just been stopped stays taken until the server has noticed; it
    // refuses a new source meanwhile, so the request is repeated for a few seconds.
    const auto takenUntil = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const std::string answer = SendSourceRequest(s, contentType, *feed);
        if (answer.find(" 200") != std::string::npos)
            break;
        if (feed->socket >= 0) {
            ::close(feed->socket);
            feed->socket = -1;
        }
        if (answer.find(" 403") == std::string::npos || std::chrono::steady_clock::now() > takenUntil) {
            if (error_.empty())
                error_ = "icecast2 refused the source: " + answer.substr(0, answer.find('\r'));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Feed* f = feed.get();
    f->pump = std::thread([f] {
        RigThread rig("ice-feed");
        char data[8192];
        while (!f->stop) {
            pollfd p{f->encoder.StdoutFd(), POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            ssize_t n = read(f->encoder.StdoutFd(), data, sizeof data);
            if (n <= 0 || !SendAll(f->socket, data, size_t(n)))
                break;
        }
    });
    {
        std::lock_guard lock(mu_);
        feeds_[s.mount] = std::move(feed);
    }
    const auto liveBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < liveBy) {
        if (MountLive(s.mount))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error_ = "mount " + s.mount + " did not come up";
    return false;
}

bool IcecastRig::SetTitle(const std::string& mount, const std::string& title) {
    const std::string target =
        "/admin/metadata?mount=" + PercentEncode(mount) + "&mode=updinfo&song=" + PercentEncode(title);
    std::string body;
    return LoopbackGet(port_, target, Basic("admin", kPassword), &body) == 200;
}

void IcecastRig::StopSource(const std::string& mount) {
    std::unique_ptr<Feed> f;
    {
        std::lock_guard lock(mu_);
        auto it = feeds_.find(mount);
        if (it == feeds_.end())
            return;
        f = std::move(it->second);
        feeds_.erase(it);
    }
    f.reset();
}

void IcecastRig::StopServer() {
    server_.Stop(2000);
}

}  // namespace wavelot::test
