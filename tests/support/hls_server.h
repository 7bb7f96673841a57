#pragma once
// A live HLS station for tests on the loopback HttpServer: a master list with two variants
// ("/hi.m3u8" at 128 kbit/s, "/lo.m3u8" at 64 kbit/s) over one live window of AAC (ADTS)
// segments. Each song is a tone of its own made once by ffmpeg; every segment begins with an ID3
// tag of its song's artist and title. The window moves on by one segment per segment length
// from the start; it can pause (the list stops growing), be away (every request 503), and a
// variant can answer 404. "/ts.m3u8" lists the same segments as MPEG-TS, each frame a PES packet
// of its own and the title in a timed ID3 stream.
#include "tests/support/http_server.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace wavelot::test {

struct HlsSong {
    QByteArray artist;
    QByteArray title;
    int frequency = 440;
};

class HlsServer {
public:
    // Songs follow each other, segmentsPerSong segments of segmentMs each, round and round; a media
    // list shows the newest `window` segments.
    explicit HlsServer(std::vector<HlsSong> songs, int segmentsPerSong = 3, int segmentMs = 1000,
                       int window = 5);
    bool Ok() const { return ok_; }
    std::string Url(const std::string& path = "/master.m3u8") const { return server_.Url(path); }
    HttpServer& Http() { return server_; }

    void SetAway(bool away) { away_ = away; }
    void SetPaused(bool paused);
    void SetMissing(const std::string& path) {
        std::lock_guard lock(mu_);
        missing_ = path;
    }
    // The media sequence numbers of the segments fetched so far, in order.
    std::vector<qint64> Fetched() const;
    // The frames of 1024 samples (at 44100 Hz) of one segment.
    int FramesPerSegment() const { return framesPerSegment_; }
    // An ID3v2.4 tag with TPE1 and TIT2 in UTF-8.
    static QByteArray Id3(const QByteArray& artist, const QByteArray& title);

private:
    qint64 Newest() const;
    HttpResponse Media(const std::string& path, const std::string& extension) const;
    HttpResponse Segment(const std::string& path);

    std::vector<HlsSong> songs_;
    std::vector<std::vector<QByteArray>> frames_;  // per song, its ADTS frames
    int perSong_;
    int segmentMs_;
    int window_;
    int framesPerSegment_;
    bool ok_ = false;
    std::atomic<bool> away_{false};
    mutable std::mutex mu_;
    std::chrono::steady_clock::time_point start_;
    qint64 pausedAt_ = -1;         // (mu_) the newest segment while paused
    std::string missing_;          // (mu_)
    std::vector<qint64> fetched_;  // (mu_)
    HttpServer server_;
};

}  // namespace wavelot::test
