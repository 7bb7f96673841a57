#include "tests/support/http_server.h"

#include "tests/support/rig_threads.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace wavelot::test {
namespace {

constexpr int kPollSliceMs = 20;             // how often blocked threads look at the stop flag
constexpr size_t kMaxHeaderBytes = 1 << 16;  // a request head larger than this is dropped
constexpr size_t kMaxBodyBytes = 1 << 24;

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

// Parses the head (request line and header lines, without the blank line).
bool ParseHead(const std::string& head, HttpRequest& r) {
    size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    size_t s1 = requestLine.find(' ');
    size_t s2 = requestLine.find(' ', s1 == std::string::npos ? s1 : s1 + 1);
    if (s1 == std::string::npos || s2 == std::string::npos)
        return false;
    r.method = requestLine.substr(0, s1);
    r.target = requestLine.substr(s1 + 1, s2 - s1 - 1);
    r.version = requestLine.substr(s2 + 1);
    size_t q = r.target.find('?');
    r.path = r.target.substr(0, q);
    r.query = q == std::string::npos ? std::string() : r.target.substr(q + 1);
    size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        size_t end = head.find("\r\n", pos);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(pos, end - pos);
        size_t colon = line.find(':');
        if (colon != std::string::npos)
            r.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
        pos = end + 2;
    }
    return true;
}

std::string Serialize(const HttpResponse& resp) {
    std::string out = "HTTP/1.1 " + std::to_string(resp.status) + " " + ReasonPhrase(resp.status) + "\r\n";
    bool hasType = false;
    for (const auto& [name, value] : resp.headers) {
        if (EqualsIgnoreCase(name, "Content-Length") || EqualsIgnoreCase(name, "Connection"))
            continue;
        hasType = hasType || EqualsIgnoreCase(name, "Content-Type");
        out += name + ": " + value + "\r\n";
    }
    if (!hasType && !resp.body.empty())
        out += "Content-Type: application/octet-stream\r\n";
    out += "Content-Length: " + std::to_string(resp.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += resp.body;
    return out;
}

}  // namespace

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [n, v] : headers)
        if (EqualsIgnoreCase(n, name))
            return v;
    return {};
}

bool HttpRequest::HasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return EqualsIgnoreCase(h.first, name); });
}

HttpResponse HttpResponse::Ok(std::string body, std::string contentType) {
    HttpResponse r;
    r.headers.emplace_back("Content-Type", std::move(contentType));
    r.body = std::move(body);
    return r;
}

HttpResponse HttpResponse::Status(int status, std::string body) {
    HttpResponse r;
    r.status = status;
    if (!body.empty())
        r.headers.emplace_back("Content-Type", "text/html");
    r.body = std::move(body);
    return r;
}

HttpResponse HttpResponse::Redirect(int status, std::string location) {
    HttpResponse r;
    r.status = status;
    r.headers.emplace_back("Location", std::move(location));
    return r;
}

HttpResponse HttpResponse::RawBytes(std::string bytes) {
    HttpResponse r;
    r.kind = Kind::Raw;
    r.raw = std::move(bytes);
    return r;
}

HttpResponse HttpResponse::Never() {
    HttpResponse r;
    r.kind = Kind::NeverAnswer;
    return r;
}

HttpResponse HttpResponse::Endless() {
    HttpResponse r;
    r.kind = Kind::EndlessBody;
    return r;
}

HttpResponse HttpResponse::Trickle(std::string body) {
    HttpResponse r = Ok(std::move(body), "application/json");
    r.kind = Kind::Trickle;
    return r;
}

HttpServer::HttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] {
        RigThread rig("http");
        AcceptLoop();
    });
}

HttpServer::~HttpServer() {
    stopping_ = true;
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(connectionThreads_);
    }
    for (auto& t : threads)
        t.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

std::string HttpServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

QString HttpServer::UrlText(const std::string& pathAndQuery) const {
    return QString::fromStdString(Url(pathAndQuery));
}

void HttpServer::Handle(const std::string& path, HttpHandler handler) {
    std::lock_guard lock(mutex_);
    handlers_[path] = std::move(handler);
}

void HttpServer::HandleAll(HttpHandler handler) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(handler);
}

void HttpServer::SetMode(Mode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

std::vector<HttpRequest> HttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t HttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void HttpServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool HttpServer::WaitUntil(int fd, short events, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!stopping_) {
        pollfd p{fd, events, 0};
        int rc = ::poll(&p, 1, kPollSliceMs);
        if (rc > 0)
            return true;
        if (rc < 0 && errno != EINTR)
            return false;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return false;
}

bool HttpServer::SendAll(int fd, const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (!WaitUntil(fd, POLLOUT, -1))
            return false;
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void HttpServer::AcceptLoop() {
    while (WaitUntil(listenFd_, POLLIN, -1)) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++openConnections_;
        std::lock_guard lock(mutex_);
        connectionThreads_.emplace_back([this, fd] {
            RigThread rig("http-conn");
            Serve(fd);
            ::close(fd);
            --openConnections_;
        });
    }
}

HttpResponse HttpServer::Answer(const HttpRequest& request) {
    HttpHandler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (mode_ == Mode::NeverAnswer)
            return HttpResponse::Never();
        if (mode_ == Mode::EndlessBody)
            return HttpResponse::Endless();
        auto it = handlers_.find(request.path);
        handler = it != handlers_.end() ? it->second : fallback_;
    }
    if (!handler)
        return HttpResponse::Status(404, "<html><body>Not Found</body></html>");
    return handler(request);
}

void HttpServer::Serve(int fd) {
    std::string buffer;
    size_t headEnd = std::string::npos;
    char chunk[4096];
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > kMaxHeaderBytes || !WaitUntil(fd, POLLIN, 10000))
            return;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        buffer.append(chunk, static_cast<size_t>(n));
    }
    HttpRequest request;
    if (!ParseHead(buffer.substr(0, headEnd), request)) {
        SendAll(fd, Serialize(HttpResponse::Status(400)));
        return;
    }
    request.body = buffer.substr(headEnd + 4);
    size_t wanted = static_cast<size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10));
    wanted = std::min(wanted, kMaxBodyBytes);
    while (request.body.size() < wanted) {
        if (!WaitUntil(fd, POLLIN, 10000))
            return;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        request.body.append(chunk, static_cast<size_t>(n));
    }

    HttpResponse response = Answer(request);
    if (response.delayMs > 0) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(response.delayMs);
        while (!stopping_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    switch (response.kind) {
    case HttpResponse::Kind::Normal: SendAll(fd, Serialize(response)); break;
    case HttpResponse::Kind::Raw: SendAll(fd, response.raw); break;
    case HttpResponse::Kind::NeverAnswer:
        // Hold the connection open and silent; notice the client hanging up.
        while (WaitUntil(fd, POLLIN, -1)) {
            if (::recv(fd, chunk, sizeof chunk, 0) <= 0)
                break;
        }
        break;
    case HttpResponse::Kind::EndlessBody: {
        if (!SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"))
            break;
        const std::string filler(1 << 16, 'x');
        while (SendAll(fd, filler)) {
        }
        break;
    }
    case HttpResponse::Kind::Trickle:
        for (const char byte : Serialize(response)) {
            if (stopping_ || !SendAll(fd, std::string(1, byte)))
                break;
            // Woken early only by the client hanging up or the server stopping.
            if (WaitUntil(fd, POLLIN, 1000) && ::recv(fd, chunk, sizeof chunk, 0) <= 0)
                break;
        }
        break;
    }
    ::shutdown(fd, SHUT_WR);
}

}  // namespace wavelot::test
