#pragma once
// Blocking HTTP GET for the directory clients.
//
// The caller gets its answer only when the transfer is over, as if the call blocked; but the
// transfer runs on a worker thread while the calling thread waits in a message-dispatching wait,
// so timers fire and windows repaint meanwhile. Event handlers may therefore run inside a fetch:
// state read before it may have changed after it.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

namespace wavelot {

struct HttpLimits {
    // The whole transfer, connect and redirects included.
    std::chrono::milliseconds timeLimit{30000};
    // Body bytes after any content decoding; a larger answer is a failure, not a cut-off text.
    qint64 maxBodyBytes = 16 * 1024 * 1024;
    // Reaching the server (resolve and connect); zero leaves only `timeLimit`. A caller with
    // other servers to try sets it short, so a dead one costs seconds, not the whole limit.
    std::chrono::milliseconds connectTimeLimit{0};
    // Polled during the transfer: once it reads true the transfer ends as Cancelled. Lets the
    // owner of a worker thread stop a fetch at once instead of waiting out the time limit.
    const std::atomic<bool>* cancel = nullptr;
    // The proxy to use instead of the environment's: "host:port" (or any address libcurl
    // accepts), or empty for none at all. Loopback is always reached directly.
    std::optional<QByteArray> proxy;
};

// Why a fetch gave no usable answer, for callers that tell the user what went wrong.
enum class HttpFailure {
    None,           // the transfer completed (whatever the status)
    BadUrl,         // empty, malformed, or not http/https
    CannotResolve,  // the host name is unknown (or no name server answered)
    CannotConnect,  // refused or unreachable
    TimedOut,       // past `connectTimeLimit` or `timeLimit`
    TooLarge,       // past `maxBodyBytes`
    Broken,         // the connection broke or the answer was not HTTP
    Cancelled,      // `cancel` was set
};

struct HttpResult {
    bool transferOk = false;                  // the transfer completed within the limits
    long status = 0;                          // of the last response, after redirects; 0 when none arrived
    QByteArray body;                          // raw bytes, before any character decoding
    HttpFailure failure = HttpFailure::None;  // None exactly when transferOk

    bool Ok() const { return transferOk && status == 200; }
};

// GET with the request header "CONTENT-TYPE: application/x-www-form-urlencoded" and the
// User-Agent "Wavelot/<version>". Redirects are followed (up to 10, http and https only); only
// http and https URLs are fetched. The URL is used exactly as given. Proxy settings of the
// environment apply except for loopback. Called on the application's main thread it waits
// dispatching events; on any other thread (a worker of the caller's) it simply blocks.
HttpResult HttpGet(const QString& url, const HttpLimits& limits = {});

// The body of a 200 answer decoded with DecodeBytes and the code page; the empty text on any
// failure (no answer, another status, past a limit, a body that decodes to nothing).
QString HttpGetText(const QString& url, int codePage, const HttpLimits& limits = {});

}  // namespace wavelot
