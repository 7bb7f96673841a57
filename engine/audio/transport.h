#pragma once
// The network reader: one libcurl transfer at a time on a thread of its own, ICY answers
// accepted, metadata cut out at icy-metaint, playlists followed. An HLS play list is followed
// segment by segment (hls_transport.cpp): the segments' audio bytes follow each other in the ring
// as one stream, and the titles their ID3 tags carry are reported like ICY metadata. Audio bytes
// go to the ring; everything else is reported to the sink, from the reader thread.

#include "engine/audio/byte_ring.h"
#include "engine/audio/icy_stream.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace wavelot::audio {

struct TransportOptions {
    QByteArray url;
    bool noProxy = true;  // true: no proxy at all, not even the environment's
    QByteArray proxy;     // when !noProxy: the address, or empty for libcurl's environment
    QByteArray agent;
    int timeoutMs = 10000;  // limit of the whole connect, and the longest silence of a live transfer
    bool followPlaylists = true;
    int hlsMaxKbps = 0;  // HLS: the best variant at or under this rate; 0 no cap
    // > 0: once the sound flows, the socket is read at most this often (what came meanwhile waits
    // in the kernel's buffer), instead of at every packet.
    int readPeriodMs = 0;
};

class TransportSink {
public:
    virtual ~TransportSink() = default;
    // The answer is accepted as audio; its body follows in the ring.
    virtual void OnConnected(const HeaderBlock& headers) = 0;
    virtual void OnMeta(const QByteArray& meta) = 0;
    // The ring got its end mark. failed: it ended by an error (or never connected).
    virtual void OnTransportEnd(bool failed) = 0;
};

class HttpTransport {
public:
    HttpTransport(TransportOptions options, ByteRing& ring, TransportSink& sink);
    ~HttpTransport();  // stops and joins
    void Start();
    void Stop();  // returns at once; the thread leaves within one poll round
    void Join();
    // Why the transfer failed, when the reader knows more than that it did; any thread.
    enum class FailReason { Unknown, Encrypted };
    FailReason Reason() const { return reason_; }

private:
    enum class Outcome { Ended, Failed, Playlist, Aborted };
    struct Fetch;
    void Run();
    // collect > 0: the whole answer, whatever its type, is read into *playlist up to that size.
    Outcome Transfer(const QByteArray& url, bool allowPlaylist, QByteArray* playlist, bool* delivered,
                     qsizetype collect = 0);
    // HLS (hls_transport.cpp): plays the list at url whose answer was body.
    Outcome RunHls(const QByteArray& url, const QByteArray& body);
    Outcome FetchWhole(const QByteArray& url, QByteArray* body, qsizetype limit);
    bool WriteAll(const char* data, size_t size);  // false when stopped
    bool Wait(std::chrono::milliseconds ms);       // false when stopped
    static size_t OnHeader(char* data, size_t size, size_t n, void* user);
    static size_t OnWrite(char* data, size_t size, size_t n, void* user);

    TransportOptions opt_;
    ByteRing& ring_;
    TransportSink& sink_;
    std::thread thread_;
    void* multi_ = nullptr;  // CURLM*, reader thread only (wakeup is thread-safe)
    std::atomic<bool> stop_{false};
    std::mutex sleepMu_;  // the reader's pause between reads, which Stop cuts short
    std::condition_variable sleepCv_;
    std::atomic<FailReason> reason_{FailReason::Unknown};
    std::chrono::steady_clock::time_point connectDeadline_;  // reader thread only
};

}  // namespace wavelot::audio
