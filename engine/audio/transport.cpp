#include "engine/audio/transport.h"

#include "engine/audio/hls_playlist.h"
#include "engine/audio/playlist.h"

#include <curl/curl.h>
#include <pthread.h>

#include <chrono>

namespace wavelot::audio {

namespace {
constexpr size_t kMaxPlaylistBytes = size_t(PlaylistLimits{}.maxBytes);
using Clock = std::chrono::steady_clock;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};
}  // namespace

struct HttpTransport::Fetch {
    HttpTransport* self = nullptr;
    HeaderBlock headers;
    bool allowPlaylist = false;
    bool decided = false;
    bool playlistMode = false;
    bool delivered = false;
    bool paused = false;
    bool failed = false;  // refused by the write callback
    qsizetype collect = 0;
    QByteArray playlist;
    MetaintCutter cutter{0};
    Clock::time_point lastData = Clock::now();
};

HttpTransport::HttpTransport(TransportOptions options, ByteRing& ring, TransportSink& sink)
    : opt_(std::move(options)), ring_(ring), sink_(sink) {
    static CurlGlobal global;
    multi_ = curl_multi_init();
    ring_.SetSpaceCallback([this] { curl_multi_wakeup(static_cast<CURLM*>(multi_)); });
}

HttpTransport::~HttpTransport() {
    Stop();
    Join();
    ring_.SetSpaceCallback({});
    curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void HttpTransport::Start() {
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "net");
        Run();
    });
}

void HttpTransport::Stop() {
    stop_ = true;
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    std::lock_guard lock(sleepMu_);
    sleepCv_.notify_all();
}

void HttpTransport::Join() {
    if (thread_.joinable())
        thread_.join();
}

void HttpTransport::Run() {
    // Until sound arrives, every answer that is a playlist goes back to the resolver, which
    // bounds how many addresses are asked for; the connect as a whole has the time-out.
    connectDeadline_ = Clock::now() + std::chrono::milliseconds(opt_.timeoutMs);
    PlaylistResolver resolver(opt_.url);
    bool failed = true;
    for (QByteArray url = resolver.Next(); !url.isEmpty() && !stop_; url = resolver.Next()) {
        if (Clock::now() >= connectDeadline_)
            break;
        QByteArray playlist;
        bool delivered = false;
        const Outcome o = Transfer(url, opt_.followPlaylists, &playlist, &delivered);
        if (delivered) {
            failed = o != Outcome::Ended;
            break;
        }
        if (o == Outcome::Playlist && IsHlsPlaylist(playlist)) {
            failed = RunHls(url, playlist) != Outcome::Ended;
            break;
        }
        if (o == Outcome::Playlist)
            resolver.AddPlaylist(playlist);
    }
    ring_.SetEnd();
    sink_.OnTransportEnd(failed || stop_);
}

size_t HttpTransport::OnHeader(char* data, size_t size, size_t n, void* user) {
    auto* f = static_cast<Fetch*>(user);
    f->headers.AddLine(data, size * n);
    f->lastData = Clock::now();
    return size * n;
}

size_t HttpTransport::OnWrite(char* data, size_t size, size_t n, void* user) {
    auto* f = static_cast<Fetch*>(user);
    HttpTransport* t = f->self;
    const size_t len = size * n;
    if (t->stop_)
        return 0;
    if (!f->decided) {
        const int status = f->headers.Status();
        if (status != 0 && (status < 200 || status > 299)) {
            f->failed = true;
            return 0;
        }
        const QByteArray type = f->headers.Value("content-type");
        f->decided = true;
        if (f->collect > 0 ||
            (f->allowPlaylist &&
             LooksLikePlaylist(type, QByteArray(data, qsizetype(std::min<size_t>(len, 512)))))) {
            f->playlistMode = true;
        } else {
            bool ok = false;
            int metaint = f->headers.Value("icy-metaint").toInt(&ok);
            f->cutter = MetaintCutter(ok && metaint > 0 ? metaint : 0);
            f->delivered = true;
            t->sink_.OnConnected(f->headers);
        }
    }
    if (f->playlistMode) {
        const size_t limit = f->collect > 0 ? size_t(f->collect) : kMaxPlaylistBytes;
        if (size_t(f->playlist.size()) + len > limit) {
            f->failed = true;
            return 0;
        }
        f->playlist.append(data, qsizetype(len));
        f->lastData = Clock::now();
        return len;
    }
    if (t->ring_.Capacity() - t->ring_.Size() < len) {
        t->ring_.MarkWriterWaiting();
        f->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    f->lastData = Clock::now();
    f->cutter.Feed(
        data, len, [t](const char* p, size_t m) { t->ring_.TryWrite(p, m); },
        [t](const QByteArray& meta) { t->sink_.OnMeta(meta); });
    return len;
}

HttpTransport::Outcome HttpTransport::Transfer(const QByteArray& url, bool allowPlaylist,
                                               QByteArray* playlist, bool* delivered, qsizetype collect) {
    CURL* easy = curl_easy_init();
    if (!easy)
        return Outcome::Failed;
    Fetch f;
    f.self = this;
    f.allowPlaylist = allowPlaylist;
    f.collect = collect;
    curl_slist* aliases = curl_slist_append(nullptr, "ICY 200 OK");
    curl_slist* headers = curl_slist_append(nullptr, "Icy-MetaData: 1");
    const QByteArray agent = opt_.agent.isEmpty() ? QByteArray("Wavelot/0.1") : opt_.agent;
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(opt_.timeoutMs));
    curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    if (opt_.noProxy)
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    else if (!opt_.proxy.isEmpty())
        curl_easy_setopt(easy, CURLOPT_PROXY, opt_.proxy.constData());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpTransport::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &f);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransport::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &f);

    auto* multi = static_cast<CURLM*>(multi_);
    curl_multi_add_handle(multi, easy);
    Outcome outcome = Outcome::Failed;
    const auto timeout = std::chrono::milliseconds(opt_.timeoutMs);
    for (;;) {
        if (stop_) {
            outcome = Outcome::Aborted;
            break;
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        bool done = false;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                done = true;
                const bool ok = msg->data.result == CURLE_OK && !f.failed;
                if (f.playlistMode)
                    outcome = ok ? Outcome::Playlist : Outcome::Failed;
                else
                    outcome = ok && f.delivered ? Outcome::Ended : Outcome::Failed;
            }
        }
        if (done || running == 0)
            break;
        if (f.paused && ring_.Capacity() - ring_.Size() >= CURL_MAX_WRITE_SIZE) {
            f.paused = false;
            f.lastData = Clock::now();
            curl_easy_pause(easy, CURLPAUSE_CONT);
            continue;
        }
        const auto now = Clock::now();
        if (!f.paused && now - f.lastData > timeout) {
            outcome = Outcome::Failed;
            break;
        }
        if (opt_.readPeriodMs > 0 && f.delivered && !f.paused) {
            std::unique_lock lock(sleepMu_);
            sleepCv_.wait_for(lock, std::chrono::milliseconds(opt_.readPeriodMs),
                              [this] { return stop_.load(); });
            continue;
        }
        int waitMs = f.paused ? 20 : 1000;
        if (!f.delivered) {
            // Still connecting: the connect's own limit ends this answer too.
            if (now >= connectDeadline_) {
                outcome = Outcome::Failed;
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(connectDeadline_ - now).count() + 1;
            waitMs = int(std::min<qint64>(waitMs, left));
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(aliases);
    curl_slist_free_all(headers);
    if (outcome == Outcome::Playlist)
        *playlist = f.playlist;
    *delivered = f.delivered;
    return outcome;
}

}  // namespace wavelot::audio
