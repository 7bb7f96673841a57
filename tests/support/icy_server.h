#pragma once
// A tiny stream server of the tests' own, on 127.0.0.1 on a free port: each path answers with
// exactly the header bytes given (an "ICY 200 OK" status line, Big5 or Shift-JIS titles, a
// missing icy-name...), then loops an audio file paced at its bit rate, with ICY metadata
// inserted every metaint bytes; or it answers a fixed body (a playlist) and closes. Requests
// with an absolute address ("GET http://host/path") are served too, so it can stand in as the
// proxy. Every request head is recorded.
//
//   wavelot::test::IcyServer icy;
//   icy.SetStream("/live", {.head = IcyServer::IcyHead("Test FM", 8192), .audioFile = tone, .metaint =
//   8192}); icy.SetMeta("/live", "StreamTitle='\xA4\xA4\xA4\xE5';");   // Big5 bytes, as sent

#include <atomic>
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
    void AcceptLoop();
    void Serve(int fd);
    int listen_ = -1;
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
};

}  // namespace wavelot::test
