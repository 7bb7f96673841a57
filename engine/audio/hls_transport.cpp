// The HLS side of the network reader: a master list's variant is chosen, its media list is
// reloaded at its target duration, and each new segment is fetched whole over the same libcurl
// options as any stream, then written to the ring behind the previous one. A packed audio
// segment's leading ID3 tag is cut out and its title reported where the segment's bytes begin,
// exactly as an ICY block is; MPEG-TS and fragmented MP4 (its init segment once) go in whole, a TS
// segment's timed ID3 titles reported between its bytes where their sound begins.

#include "engine/audio/hls_playlist.h"
#include "engine/audio/transport.h"

#include <curl/curl.h>

#include <QHash>

#include <algorithm>
#include <mutex>

namespace wavelot::audio {

namespace {
using Clock = std::chrono::steady_clock;
constexpr qsizetype kMaxListBytes = 256 * 1024;
constexpr qsizetype kMaxSegmentBytes = 16 * 1024 * 1024;
// A live start begins this many segments before the newest, as players commonly do.
constexpr int kLiveStartSegments = 3;

// The last media sequence number written per station address, so that a new connect after a
// drop continues behind it. Kept small: a program plays few stations in one run.
class DeliveredSequences {
public:
    static DeliveredSequences& Shared() {
        static DeliveredSequences s;
        return s;
    }
    qint64 Get(const QByteArray& url) {
        std::lock_guard lock(mu_);
        return map_.value(url, -1);
    }
    void Set(const QByteArray& url, qint64 seq) {
        std::lock_guard lock(mu_);
        if (map_.size() >= 64 && !map_.contains(url))
            map_.clear();
        map_.insert(url, seq);
    }

private:
    std::mutex mu_;
    QHash<QByteArray, qint64> map_;
};

// The content type the decoder is told, from a segment's first bytes.
QByteArray SegmentType(const QByteArray& head, bool fragmented) {
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    if (fragmented)
        return "audio/mp4";
    if (head.size() >= 1 && p[0] == 0x47)
        return "video/mp2t";
    if (head.size() >= 2 && p[0] == 0xff && (p[1] & 0xf6) == 0xf0)
        return "audio/aac";
    if (head.size() >= 2 && p[0] == 0xff && (p[1] & 0xe0) == 0xe0)
        return "audio/mpeg";
    if (head.size() >= 8 &&
        (head.mid(4, 4) == "ftyp" || head.mid(4, 4) == "styp" || head.mid(4, 4) == "moof"))
        return "audio/mp4";
    return {};
}

QByteArray IcyTitle(QByteArray title) {
    title.replace('\n', ' ').replace('\r', ' ');
    return "StreamTitle='" + title + "';";
}
}  // namespace

HttpTransport::Outcome HttpTransport::FetchWhole(const QByteArray& url, QByteArray* body, qsizetype limit) {
    bool delivered = false;
    return Transfer(url, false, body, &delivered, limit);
}

bool HttpTransport::Wait(std::chrono::milliseconds ms) {
    const auto until = Clock::now() + ms;
    while (!stop_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return true;
        curl_multi_poll(static_cast<CURLM*>(multi_), nullptr, 0, int(std::min<qint64>(left, 1000)), nullptr);
    }
    return false;
}

bool HttpTransport::WriteAll(const char* data, size_t size) {
    const size_t step = std::max<size_t>(1, ring_.Capacity() / 4);
    while (size > 0) {
        if (stop_)
            return false;
        const size_t n = std::min(size, step);
        if (ring_.TryWrite(data, n)) {
            data += n;
            size -= n;
            continue;
        }
        ring_.MarkWriterWaiting();
        if (ring_.Capacity() - ring_.Size() < n)
            curl_multi_poll(static_cast<CURLM*>(multi_), nullptr, 0, 50, nullptr);
    }
    return true;
}

HttpTransport::Outcome HttpTransport::RunHls(const QByteArray& url, const QByteArray& body) {
    HlsPlaylist list = ParseHlsPlaylist(body, url);
    QByteArray listUrl = url;
    qint64 bandwidth = 0;
    QByteArray format;
    if (list.master) {
        // Each variant in turn until one answers with a media list; still within the connect's limit.
        const QList<HlsVariant> variants = OrderVariants(list.variants, opt_.hlsMaxKbps);
        list = {};
        for (const HlsVariant& v : variants) {
            if (stop_ || Clock::now() >= connectDeadline_)
                break;
            QByteArray media;
            if (v.url == url || FetchWhole(v.url, &media, kMaxListBytes) != Outcome::Playlist)
                continue;
            HlsPlaylist candidate = ParseHlsPlaylist(media, v.url);
            if (candidate.master || candidate.segments.isEmpty())
                continue;
            list = std::move(candidate);
            listUrl = v.url;
            bandwidth = v.bandwidth;
            format = HlsCodecsFormat(v.codecs);
            break;
        }
    }
    if (stop_)
        return Outcome::Aborted;
    if (list.segments.isEmpty())
        return Outcome::Failed;

    DeliveredSequences& delivered = DeliveredSequences::Shared();
    qint64 last = delivered.Get(opt_.url);
    const qint64 newest = list.segments.back().sequence;
    if (last < 0 || last > newest || (list.endList && last >= newest))
        last = list.endList ? list.segments.front().sequence - 1
                            : std::max(list.segments.front().sequence, newest - kLiveStartSegments + 1) - 1;
    bool connected = false;
    bool initWritten = false;
    QByteArray lastTitle;
    auto lastNew = Clock::now();
    const auto timeout = std::chrono::milliseconds(opt_.timeoutMs);
    for (;;) {
        if (!list.keyMethod.isEmpty() && list.keyMethod != "NONE") {
            reason_ = FailReason::Encrypted;
            return Outcome::Failed;
        }
        bool gotNew = false;
        for (const HlsSegment& seg : list.segments) {
            if (seg.sequence <= last)
                continue;
            connectDeadline_ = Clock::now() + timeout;
            QByteArray data;
            if (!initWritten && !list.mapUrl.isEmpty()) {
                if (FetchWhole(list.mapUrl, &data, kMaxSegmentBytes) != Outcome::Playlist)
                    return stop_ ? Outcome::Aborted : Outcome::Failed;
            }
            QByteArray segment;
            connectDeadline_ = Clock::now() + timeout;
            if (FetchWhole(seg.url, &segment, kMaxSegmentBytes) != Outcome::Playlist)
                return stop_ ? Outcome::Aborted : Outcome::Failed;
            QByteArray title;
            qsizetype skip = 0;
            while (size_t tag = Id3TagLength(segment.constData() + skip, size_t(segment.size() - skip))) {
                const QByteArray t = Id3Title(segment.constData() + skip, tag);
                if (!t.isEmpty())
                    title = t;
                skip += qsizetype(tag);
            }
            // An MPEG-TS segment's titles come from its timed ID3 stream, each where its sound begins.
            QList<HlsTimedTitle> timed;
            if (list.mapUrl.isEmpty() && !segment.isEmpty() && uchar(segment[0]) == 0x47)
                timed = TsId3Titles(segment);
            if (title.isEmpty() && timed.isEmpty())
                title = seg.title.isEmpty() ? list.dateRangeTitle : seg.title;
            const qsizetype base = data.size() - skip;
            data.append(segment.constData() + skip, segment.size() - skip);
            if (!connected) {
                const QByteArray type = SegmentType(data, !list.mapUrl.isEmpty());
                HeaderBlock headers;
                headers.AddLine("HTTP/1.1 200 OK\r\n", 17);
                const QByteArray typeLine =
                    "Content-Type: " + (type.isEmpty() ? "application/octet-stream" : type) + "\r\n";
                headers.AddLine(typeLine.constData(), size_t(typeLine.size()));
                if (bandwidth > 0) {
                    const QByteArray br = "icy-br: " + QByteArray::number((bandwidth + 500) / 1000) + "\r\n";
                    headers.AddLine(br.constData(), size_t(br.size()));
                }
                if (!format.isEmpty()) {
                    const QByteArray line = "x-stream-format: " + format + "\r\n";
                    headers.AddLine(line.constData(), size_t(line.size()));
                }
                headers.AddLine("\r\n", 2);
                sink_.OnConnected(headers);
                connected = true;
            }
            const auto announce = [&](const QByteArray& t) {
                if (!t.isEmpty() && t != lastTitle) {
                    sink_.OnMeta(IcyTitle(t));
                    lastTitle = t;
                }
            };
            announce(title);
            qsizetype written = 0;
            for (const HlsTimedTitle& t : timed) {
                const qsizetype at = std::clamp(base + t.offset, written, data.size());
                if (!WriteAll(data.constData() + written, size_t(at - written)))
                    return Outcome::Aborted;
                written = at;
                announce(t.title);
            }
            if (!WriteAll(data.constData() + written, size_t(data.size() - written)))
                return Outcome::Aborted;
            initWritten = true;
            last = seg.sequence;
            delivered.Set(opt_.url, last);
            gotNew = true;
        }
        if (list.endList)
            return Outcome::Ended;
        const auto now = Clock::now();
        if (gotNew)
            lastNew = now;
        else if (now - lastNew > timeout)
            return Outcome::Failed;  // the list stopped growing
        const double target = list.targetDuration > 0 ? list.targetDuration : 6;
        const auto wait =
            std::chrono::milliseconds(qint64(std::clamp(gotNew ? target : target / 2, 0.5, 30.0) * 1000));
        if (!Wait(wait))
            return Outcome::Aborted;
        QByteArray media;
        connectDeadline_ = Clock::now() + timeout;
        if (FetchWhole(listUrl, &media, kMaxListBytes) != Outcome::Playlist)
            return stop_ ? Outcome::Aborted : Outcome::Failed;
        HlsPlaylist next = ParseHlsPlaylist(media, listUrl);
        if (next.master)
            return Outcome::Failed;
        if (!next.segments.isEmpty() && next.segments.back().sequence < last - kHlsMaxItems)
            last = next.segments.front().sequence - 1;  // the server started counting again
        list = std::move(next);
    }
}

}  // namespace wavelot::audio
