#pragma once
// A small HTTP/1.1 server for tests: listens on 127.0.0.1 on an ephemeral port, runs on its
// own threads (one accepting, one per connection), and is stopped by its destructor. A test
// registers handlers by path; every request is recorded so the test can check what the client
// sent. Each answer closes the connection, so clients never depend on keep-alive here.
//
//   wavelot::test::HttpServer server;
//   server.Handle("/list", [](const HttpRequest& r) { return HttpResponse::Ok("<html>..."); });
//   HttpGetText(server.UrlText("/list?genre=Jazz"), 65001);
//   EXPECT_EQ(server.Requests().at(0).Header("content-type"), "application/x-www-form-urlencoded");

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace wavelot::test {

struct HttpRequest {
    std::string method;   // "GET"
    std::string target;   // path with query, as sent: "/list?genre=Jazz"
    std::string path;     // target without the query: "/list"
    std::string query;    // text after "?", without it; empty when there is none
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    std::string body;                                          // read when the request has a Content-Length

    // Value of the first header with that name (case-insensitive); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

struct HttpResponse {
    enum class Kind {
        Normal,       // status line, headers, Content-Length, body
        Raw,          // `raw` is written exactly as it stands, then the connection closes
        NeverAnswer,  // the request is read and nothing is ever written (until the server stops)
        EndlessBody,  // 200 with headers and no length, then filler bytes until the client hangs up
        Trickle,      // the Normal answer, one byte a second (a server that never times out)
    };

    Kind kind = Kind::Normal;
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added for Normal
    std::string body;                                          // any bytes
    std::string raw;                                           // for Kind::Raw
    int delayMs = 0;                                           // wait this long before writing anything

    static HttpResponse Ok(std::string body, std::string contentType = "text/html");
    static HttpResponse Status(int status, std::string body = {});
    static HttpResponse Redirect(int status, std::string location);
    static HttpResponse RawBytes(std::string bytes);
    static HttpResponse Never();
    static HttpResponse Endless();
    static HttpResponse Trickle(std::string body);
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
public:
    enum class Mode {
        Normal,       // requests go to the handlers
        NeverAnswer,  // every request is read and recorded, then left without an answer
        EndlessBody,  // every request gets an endless 200 body
    };

    // Starts listening at once; Ok() tells whether the socket could be opened.
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Ok() const { return port_ != 0; }
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by pathAndQuery (which should start with "/").
    std::string Url(const std::string& pathAndQuery = "/") const;
    QString UrlText(const std::string& pathAndQuery = "/") const;

    // Handler for an exact path (query not included). Replaces an earlier one for that path.
    void Handle(const std::string& path, HttpHandler handler);
    // Handler for every path without its own handler. Without any handler the answer is 404.
    void HandleAll(HttpHandler handler);
    void SetMode(Mode mode);

    // Every request received so far, in order of arrival (recorded in every mode).
    std::vector<HttpRequest> Requests() const;
    size_t RequestCount() const;
    void ClearRequests();

    // Number of connections currently open (useful to see that a client hung up).
    int OpenConnections() const { return openConnections_.load(); }

private:
    void AcceptLoop();
    void Serve(int fd);
    HttpResponse Answer(const HttpRequest& request);
    bool WaitUntil(int fd, short events, int timeoutMs) const;  // false once stopping
    bool SendAll(int fd, const std::string& bytes) const;

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> openConnections_{0};
    std::thread acceptThread_;

    mutable std::mutex mutex_;  // guards everything below
    std::map<std::string, HttpHandler> handlers_;
    HttpHandler fallback_;
    Mode mode_ = Mode::Normal;
    std::vector<HttpRequest> requests_;
    std::vector<std::thread> connectionThreads_;
};

}  // namespace wavelot::test
