#include "net/http_fetch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "text/code_page.h"

namespace wavelot {
namespace {

// Sent in upper case, as directory servers have always seen it from this program.
constexpr char kRequestHeader[] = "CONTENT-TYPE: application/x-www-form-urlencoded";
// Directories ask for "appname/version" so they can tell programs apart.
constexpr char kUserAgent[] = "Wavelot/" WAVELOT_VERSION;
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
    bool overflow = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t length = size * count;
    if (sink->body.size() + static_cast<qint64>(length) > sink->limit) {
        sink->overflow = true;
        return 0;  // aborts
    }
    sink->body.append(data, static_cast<qsizetype>(length));
    return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(user);
    return cancel->load() ? 1 : 0;  // non-zero aborts
}

HttpFailure FailureOf(CURLcode rc, const BodySink& sink) {
    switch (rc) {
    case CURLE_OK: return HttpFailure::None;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: return HttpFailure::BadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return HttpFailure::CannotResolve;
    case CURLE_COULDNT_CONNECT: return HttpFailure::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return HttpFailure::TimedOut;
    case CURLE_FILESIZE_EXCEEDED: return HttpFailure::TooLarge;
    case CURLE_WRITE_ERROR: return sink.overflow ? HttpFailure::TooLarge : HttpFailure::Broken;
    case CURLE_ABORTED_BY_CALLBACK: return HttpFailure::Cancelled;
    default: return HttpFailure::Broken;
    }
}

// The transfer itself; runs on the worker thread and touches nothing shared.
HttpResult Perform(const QByteArray& url, const HttpLimits& limits) {
    HttpResult result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.failure = HttpFailure::Broken;
        return result;
    }
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
    if (limits.proxy)
        curl_easy_setopt(curl, CURLOPT_PROXY, limits.proxy->constData());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // what curl can decode
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.timeLimit.count()));
    if (limits.connectTimeLimit.count() > 0)
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeLimit.count()));
    if (limits.cancel) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(limits.cancel));
    }
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    result.transferOk = rc == CURLE_OK;
    result.failure = FailureOf(rc, sink);
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
    if (urlBytes.isEmpty() || urlBytes.contains('\0')) {
        HttpResult bad;
        bad.failure = HttpFailure::BadUrl;
        return bad;
    }
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return Perform(urlBytes, limits);  // no window of ours to keep alive on this thread

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
