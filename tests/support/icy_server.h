#pragma once
// A tiny stream server of the tests' own, on 127.0.0.1 on a free port: each path answers with
// exactly the header bytes given (an "ICY 200 OK" status line, Big5 or Shift-JIS titles, a
// missing icy-name...), then loops an audio file paced at its bit rate, with ICY metadata
// inserted every metaint bytes (titles changed when asked, or at byte positions given up front);
// or it answers a fixed body (a playlist) and closes. Requests with an absolute address
// ("GET http://host/path") are served too, so it can stand in as the proxy. Every request head
// is recorded.
//
// A live stream plays one timeline for all its listeners, as a station's server does: a new
// listener gets the last burstBytes at once, then the present as it comes. The server can pause
// a stream with its connections open, or go away for a while (connections broken, the port
// closed) and come back on the same port; both hold the timeline, as a source that waits for
// its server does.
//
//   wavelot::test::IcyServer icy;
//   icy.SetStream("/live", {.head = IcyServer::IcyHead("Test FM", 8192), .audioFile = tone, .metaint =
//   8192}); icy.SetMeta("/live", "StreamTitle='\xA4\xA4\xA4\xE5';");   // Big5 bytes, as sent

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wavelot::test {

class IcyServer {
public:
    struct Stream {
        std::string head;            // status line and headers, each ending CR LF; the blank line is added
        std::string audioFile;       // looped as the body; empty: no audio (body, if any, is sent instead)
        std::string body;            // a fixed body sent after the head, then the connection closes
        int metaint = 0;             // 0: no metadata blocks in the body
        int bytesPerSecond = 16000;  // pace of the audio; 0: as fast as the client reads
        int burstBytes = 32768;      // sent at once before the pacing starts
        int delayMs = 0;             // wait before answering anything
        int closeAfterBytes = 0;     // end the body after this many audio bytes (0: never)
        bool live = false;           // one timeline for all listeners (see above)
        // Metadata sent in the block that follows the first `offset` audio bytes of the body
        // (offset a multiple of metaint): titles at known places.
        std::vector<std::pair<long long, std::string>> titles;
    };
    // The audio bytes of a live stream's timeline one connection got: [from, to).
    struct Span {
        long long from = 0;
        long long to = 0;
    };

    IcyServer();
    ~IcyServer();
    IcyServer(const IcyServer&) = delete;
    IcyServer& operator=(const IcyServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;
    void SetStream(const std::string& path, const Stream& stream);
    // The metadata string sent (once, then empty blocks) at the next metaint boundary of every
    // listener of the path; bytes as given.
    void SetMeta(const std::string& path, const std::string& meta);
    // Breaks every open connection at once (no clean end of the body).
    void DropAll();
    // No byte on the path's open connections (nor on new ones) for ms; they stay open.
    void Pause(const std::string& path, int ms);
    // Breaks every connection and refuses new ones for ms, then listens on the same port again.
    void Away(int ms);
    // What each connection to a live path got so far, in the order they came.
    std::vector<Span> Spans(const std::string& path) const;
    std::vector<std::string> RequestHeads() const;  // each request's head, as received
    int OpenConnections() const { return open_.load(); }

    // "ICY 200 OK" head with the usual SHOUTcast headers; name empty: no icy-name line.
    static std::string IcyHead(const std::string& name, int metaint,
                               const std::string& contentType = "audio/mpeg",
                               const std::string& genre = "Pop", int bitrate = 128);
    // An MP3 (or other format ffmpeg's -f knows) tone made with the ffmpeg program; returns the
    // path, empty when ffmpeg failed. codec e.g. "libmp3lame", format e.g. "mp3".
    static std::string MakeTone(const std::string& dir, int frequency, double seconds,
                                const std::string& codec = "libmp3lame", const std::string& format = "mp3",
                                int bitrateKbps = 128, const std::string& extension = "mp3");

private:
    using Clock = std::chrono::steady_clock;
    struct Hold {
        Clock::time_point from, to;
    };
    void AcceptLoop();
    void Serve(int fd);
    // Milliseconds of the path's timeline between `since` and now: time outside its holds.
    double TimelineMs(const std::string& path, Clock::time_point since) const;
    bool IsAway() const;
    int listen_ = -1;  // the accept thread's once it runs
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> open_{0};
    std::atomic<int> dropGeneration_{0};
    std::thread acceptThread_;
    mutable std::mutex mu_;
    std::map<std::string, Stream> streams_;                    // (mu_)
    std::map<std::string, std::pair<int, std::string>> meta_;  // (mu_) version, bytes
    std::vector<std::string> heads_;                           // (mu_)
    std::vector<std::thread> threads_;                         // (mu_)
    std::vector<int> fds_;                                     // (mu_) open client sockets
    std::map<std::string, Clock::time_point> epochs_;          // (mu_) start of each live timeline
    std::map<std::string, std::vector<Hold>> pathHolds_;       // (mu_) pauses
    std::vector<Hold> serverHolds_;                            // (mu_) absences
    std::map<std::string, std::vector<Span>> spans_;           // (mu_)
};

}  // namespace wavelot::test
