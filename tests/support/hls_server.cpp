#include "tests/support/hls_server.h"

#include <QProcess>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace wavelot::test {

namespace {
QByteArray SyncSafe(quint32 n) {
    QByteArray b(4, '\0');
    for (int i = 3; i >= 0; --i, n >>= 7)
        b[i] = char(n & 0x7f);
    return b;
}

std::vector<QByteArray> AdtsFrames(int frequency, double seconds) {
    QProcess p;
    p.start(u"ffmpeg"_s,
            {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
             QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2").arg(frequency).arg(seconds),
             u"-c:a"_s, u"aac"_s, u"-b:a"_s, u"64k"_s, u"-f"_s, u"adts"_s, u"-"_s});
    p.waitForFinished(30000);
    const QByteArray all = p.readAllStandardOutput();
    std::vector<QByteArray> frames;
    qsizetype i = 0;
    while (i + 7 <= all.size()) {
        const auto* h = reinterpret_cast<const unsigned char*>(all.constData() + i);
        const int len = (h[3] & 3) << 11 | h[4] << 3 | h[5] >> 5;
        if (h[0] != 0xff || (h[1] & 0xf6) != 0xf0 || len < 7 || i + len > all.size())
            break;
        frames.push_back(all.mid(i, len));
        i += len;
    }
    return frames;
}

// MPEG-TS packets of one PES packet or PSI section, the first flagged as a discontinuity so that
// the continuity counters may start afresh each time.
QByteArray TsPackets(int pid, const QByteArray& payload) {
    QByteArray out;
    for (qsizetype at = 0, cc = 0; at < payload.size(); ++cc) {
        const qsizetype n = std::min<qsizetype>(cc == 0 ? 182 : 184, payload.size() - at);
        const qsizetype field = 184 - n;  // the adaptation field with its stuffing
        const char head[] = {'\x47', char((cc == 0 ? 0x40 : 0) | pid >> 8), char(pid),
                             char((field ? 0x30 : 0x10) | (cc & 15))};
        out += QByteArray(head, 4);
        if (field > 0)
            out += char(field - 1);
        if (field > 1)
            out += char(cc == 0 ? 0x80 : 0) + QByteArray(field - 2, '\xff');
        out += payload.mid(at, n);
        at += n;
    }
    return out;
}

QByteArray Pes(int streamId, qint64 pts, const QByteArray& data) {
    const qsizetype n = data.size() + 8;
    return QByteArray("\0\0\1", 3) + char(streamId) + char(n >> 8) + char(n) + "\x80\x80\x05" +
           char(0x21 | (pts >> 29 & 0x0e)) + char(pts >> 22) + char(0x01 | (pts >> 14 & 0xfe)) +
           char(pts >> 7) + char(0x01 | (pts << 1 & 0xfe)) + data;
}
}  // namespace

QByteArray HlsServer::Id3(const QByteArray& artist, const QByteArray& title) {
    QByteArray body;
    for (const auto& [id, text] : {std::pair{"TPE1", artist}, std::pair{"TIT2", title}}) {
        body += id + SyncSafe(quint32(text.size() + 1)) + QByteArray(2, '\0') + '\x03' + text;
    }
    return "ID3\x04" + QByteArray(2, '\0') + SyncSafe(quint32(body.size())) + body;
}

HlsServer::HlsServer(std::vector<HlsSong> songs, int segmentsPerSong, int segmentMs, int window)
    : songs_(std::move(songs)),
      perSong_(segmentsPerSong),
      segmentMs_(segmentMs),
      window_(std::max(1, window)),
      framesPerSegment_(int(segmentMs * 44100LL / 1024 / 1000)) {
    ok_ = server_.Ok() && !songs_.empty();
    for (const HlsSong& s : songs_) {
        frames_.push_back(AdtsFrames(s.frequency, perSong_ * segmentMs_ / 1000.0 + 1));
        ok_ = ok_ && frames_.back().size() >= size_t(perSong_ * framesPerSegment_);
    }
    start_ = std::chrono::steady_clock::now();
    const std::string master =
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\nlo.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"mp4a.40.2\"\nhi.m3u8\n";
    server_.Handle("/master.m3u8", [this, master](const HttpRequest&) {
        return away_ ? HttpResponse::Status(503) : HttpResponse::Ok(master, "application/vnd.apple.mpegurl");
    });
    for (const char* path : {"/hi.m3u8", "/lo.m3u8", "/ts.m3u8"})
        server_.Handle(
            path, [this, path](const HttpRequest&) { return Media(path, path[1] == 't' ? ".ts" : ".aac"); });
    server_.HandleAll([this](const HttpRequest& r) { return Segment(r.path); });
}

void HlsServer::SetPaused(bool paused) {
    const qint64 newest = Newest();
    std::lock_guard lock(mu_);
    pausedAt_ = paused ? newest : -1;
}

qint64 HlsServer::Newest() const {
    {
        std::lock_guard lock(mu_);
        if (pausedAt_ >= 0)
            return pausedAt_;
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
            .count();
    return window_ - 1 + ms / segmentMs_;
}

std::vector<qint64> HlsServer::Fetched() const {
    std::lock_guard lock(mu_);
    return fetched_;
}

HttpResponse HlsServer::Media(const std::string& path, const std::string& extension) const {
    {
        std::lock_guard lock(mu_);
        if (missing_ == path)
            return HttpResponse::Status(404);
    }
    if (away_)
        return HttpResponse::Status(503);
    const qint64 newest = Newest();
    const qint64 first = std::max<qint64>(0, newest - window_ + 1);
    std::string list =
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" + std::to_string((segmentMs_ + 999) / 1000) +
        "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    for (qint64 n = first; n <= newest; ++n)
        list += "#EXTINF:" + std::to_string(segmentMs_ / 1000.0) + ",\n/seg/" + std::to_string(n) +
                extension + "\n";
    return HttpResponse::Ok(list, "application/vnd.apple.mpegurl");
}

HttpResponse HlsServer::Segment(const std::string& path) {
    if (away_)
        return HttpResponse::Status(503);
    if (path.rfind("/seg/", 0) != 0)
        return HttpResponse::Status(404);
    const qint64 n = std::atoll(path.c_str() + 5);
    const size_t song = size_t(n / perSong_) % songs_.size();
    const int inSong = int(n % perSong_);
    const QByteArray id3 = Id3(songs_[song].artist, songs_[song].title);
    const bool ts = path.ends_with(".ts");
    // TS: the tag, timed at the segment's start, follows its first two frames, as muxers may place it.
    // The tables (with their CRC): program 1 on PID 0x1000, AAC on 0x100, ID3 on 0x101.
    static const QByteArray kPat("\0\0\xb0\x0d\0\1\xc1\0\0\0\1\xf0\0\x2a\xb1\x04\xb2", 17);
    static const QByteArray kPmt(
        "\0\x02\xb0\x26\0\1\xc1\0\0\xe1\0\xf0\0\x0f\xe1\0\xf0\0\x15\xe1\1\xf0"
        "\x0f\x26\x0d\xff\xffID3 \xffID3 \0\x0f\xba\x40\x0f\xfe",
        42);
    QByteArray body = ts ? TsPackets(0, kPat) + TsPackets(0x1000, kPmt) : id3;
    const auto pts = [this, n](int f) { return (n * framesPerSegment_ + f) * 1024 * 90000 / 44100; };
    for (int f = 0; f < framesPerSegment_; ++f) {
        const QByteArray& frame = frames_[song][size_t(inSong * framesPerSegment_ + f)];
        body += ts ? TsPackets(0x100, Pes(0xc0, pts(f), frame)) : frame;
        if (ts && f == 1)
            body += TsPackets(0x101, Pes(0xbd, pts(0), id3));
    }
    {
        std::lock_guard lock(mu_);
        fetched_.push_back(n);
    }
    return HttpResponse::Ok(body.toStdString(), "audio/aac");
}

}  // namespace wavelot::test
