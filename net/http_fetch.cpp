#include "net/http_fetch.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "text/code_page.h"

namespace wavelot {
namespace {

// Sent in upper case, as directory servers have always seen it from this program.
constexpr char kRequestHeader[] = "CONTENT-TYPE: application/x-www-form-urlencoded";
constexpr char kUserAgent[] = "Wavelot/0.1";
constexpr char kAllowedProtocols[] = "http,https";
// Loopback never goes through a proxy, whatever the environment says.
constexpr char kNoProxy[] = "localhost,127.0.0.1,::1";
constexpr long kMaxRedirects = 10;

void EnsureCurlInitialized() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BodySink {
    QByteArray body;
    qint64 limit = 0;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t length = size * count;
    if (sink->body.size() + static_cast<qint64>(length) > sink->limit)
        return 0;  // aborts
    sink->body.append(data, static_cast<qsizetype>(length));
    return length;
}

// The transfer itself; runs on the worker thread and touches nothing shared.
HttpResult Perform(const QByteArray& url, const HttpLimits& limits) {
    HttpResult result;
    CURL* curl = curl_easy_init();
    if (!curl)
        return result;
    curl_slist* headers = curl_slist_append(nullptr, kRequestHeader);
    BodySink sink;
    sink.limit = limits.maxBodyBytes;

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, kNoProxy);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // what curl can decode
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeLimit.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    result.transferOk = rc == CURLE_OK;
    if (result.transferOk)
        result.body = std::move(sink.body);

    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return result;
}

}  // namespace

HttpResult HttpGet(const QString& url, const HttpLimits& limits) {
    EnsureCurlInitialized();
    const QByteArray urlBytes = url.toUtf8();
    if (urlBytes.isEmpty() || urlBytes.contains('\0'))
        return {};
    if (!QCoreApplication::instance())
        return Perform(urlBytes, limits);  // nothing to keep alive

    HttpResult result;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        result = Perform(urlBytes, limits);
        done = true;
        // Queued to the waiting thread; dropped by Qt if the loop is already gone.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // exec() returns non-zero when it cannot run (the application is quitting): then just block.
    while (!done) {
        if (loop.exec() != 0)
            break;
    }
    worker.join();
    return result;
}

QString HttpGetText(const QString& url, int codePage, const HttpLimits& limits) {
    const HttpResult result = HttpGet(url, limits);
    if (!result.Ok())
        return {};
    return DecodeBytes(result.body, codePage);
}

}  // namespace wavelot
