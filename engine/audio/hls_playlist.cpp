#include "engine/audio/hls_playlist.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace wavelot::audio {

namespace {

QByteArray Resolve(const QByteArray& base, const QByteArray& ref) {
    const QUrl r = QUrl::fromEncoded(ref);
    if (!r.isRelative())
        return ref;
    return QUrl::fromEncoded(base).resolved(r).toEncoded();
}

// The value of key in an attribute list such as BANDWIDTH=64000,CODECS="mp4a.40.2"; null when
// absent. Quoted values keep their commas.
QByteArray Attribute(const QByteArray& list, const QByteArray& key) {
    qsizetype i = 0;
    const qsizetype n = list.size();
    while (i < n) {
        while (i < n && (list[i] == ' ' || list[i] == ','))
            ++i;
        const qsizetype eq = list.indexOf('=', i);
        if (eq < 0)
            return {};
        const QByteArray name = list.mid(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        QByteArray value;
        if (v < n && list[v] == '"') {
            qsizetype close = list.indexOf('"', v + 1);
            if (close < 0)
                close = n;
            value = list.mid(v + 1, close - v - 1);
            i = close + 1;
        } else {
            qsizetype comma = list.indexOf(',', v);
            if (comma < 0)
                comma = n;
            value = list.mid(v, comma - v).trimmed();
            i = comma;
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value.isNull() ? QByteArray("") : value;
    }
    return {};
}

qint64 ToInt(const QByteArray& s) {
    bool ok = false;
    const qint64 v = s.trimmed().toLongLong(&ok);
    return ok && v >= 0 ? v : 0;
}

double ToSeconds(const QByteArray& s) {
    bool ok = false;
    const double v = s.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) && v > 0 ? std::min(v, 3600.0) : 0;
}

quint32 BigEndian(const unsigned char* p, bool syncSafe) {
    if (syncSafe)
        return quint32(p[0] & 0x7f) << 21 | quint32(p[1] & 0x7f) << 14 | quint32(p[2] & 0x7f) << 7 |
               quint32(p[3] & 0x7f);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

QByteArray TextFrame(const unsigned char* p, size_t size) {
    if (size < 1)
        return {};
    const char* text = reinterpret_cast<const char*>(p + 1);
    const auto n = qsizetype(size - 1);
    QString s;
    switch (p[0]) {
    case 0: s = QString::fromLatin1(text, n); break;
    case 1:
    case 2: {
        QByteArray b(text, n & ~qsizetype(1));
        bool little = p[0] == 1;
        if (b.size() >= 2 && (uchar(b[0]) == 0xff || uchar(b[0]) == 0xfe)) {
            little = uchar(b[0]) == 0xff;
            b.remove(0, 2);
        }
        for (qsizetype i = 0; i + 1 < b.size(); i += 2) {
            const char16_t c = little ? char16_t(uchar(b[i]) | uchar(b[i + 1]) << 8)
                                      : char16_t(uchar(b[i]) << 8 | uchar(b[i + 1]));
            if (c == 0)
                break;
            s.append(QChar(c));
        }
        break;
    }
    default: s = QString::fromUtf8(text, n); break;
    }
    const qsizetype nul = s.indexOf(QChar(0));
    if (nul >= 0)
        s.truncate(nul);
    return s.trimmed().toUtf8();
}

constexpr qsizetype kTsPacket = 188;
constexpr qint64 kPtsWrap = qint64(1) << 33;

// The PTS of a PES packet's header; -1 when it has none.
qint64 PesPts(const unsigned char* p, qsizetype size) {
    if (size < 14 || p[0] != 0 || p[1] != 0 || p[2] != 1 || !(p[7] & 0x80))
        return -1;
    return qint64(p[9] >> 1 & 7) << 30 | qint64(p[10]) << 22 | qint64(p[11] >> 1) << 15 | qint64(p[12]) << 7 |
           p[13] >> 1;
}

// a at or after b on the 33-bit clock, which wraps about every 26 hours.
bool PtsAtOrAfter(qint64 a, qint64 b) {
    return ((a - b) & (kPtsWrap - 1)) < kPtsWrap / 2;
}

// The body of the PSI section of table tableId a packet's payload starts (behind its pointer
// field), without the CRC; empty when the payload holds none.
QByteArrayView PsiBody(const unsigned char* payload, qsizetype size, int tableId) {
    const qsizetype at = 1 + qsizetype(payload[0]);
    if (size < at + 12 || payload[at] != tableId)
        return {};
    const qsizetype end = std::min(size, at + 3 + ((payload[at + 1] & 0x0f) << 8 | payload[at + 2]) - 4);
    return end > at + 8 ? QByteArrayView(payload + at + 8, end - at - 8) : QByteArrayView();
}

}  // namespace

bool IsHlsPlaylist(const QByteArray& body) {
    const QByteArray head = (body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body).trimmed();
    if (!head.left(7).toUpper().startsWith("#EXTM3U"))
        return false;
    return head.contains("#EXT-X-") || head.contains("#ext-x-");
}

HlsPlaylist ParseHlsPlaylist(const QByteArray& body, const QByteArray& url) {
    HlsPlaylist pl;
    HlsVariant pendingVariant;
    bool variantNext = false;
    HlsSegment pendingSegment;
    bool sequenceSeen = false;
    qint64 next = 0;
    const QList<QByteArray> lines = body.split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (pl.variants.size() >= kHlsMaxItems || pl.segments.size() >= kHlsMaxItems)
            break;
        if (line.startsWith('#')) {
            const qsizetype colon = line.indexOf(':');
            const QByteArray tag = (colon < 0 ? line : line.left(colon)).toUpper();
            const QByteArray value = colon < 0 ? QByteArray() : line.mid(colon + 1);
            if (tag == "#EXT-X-STREAM-INF") {
                pl.master = true;
                variantNext = true;
                pendingVariant = {};
                pendingVariant.bandwidth = ToInt(Attribute(value, "BANDWIDTH"));
                pendingVariant.codecs = Attribute(value, "CODECS");
            } else if (tag == "#EXT-X-TARGETDURATION") {
                pl.targetDuration = ToSeconds(value);
            } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
                if (!sequenceSeen)
                    next = pl.mediaSequence = ToInt(value);
                sequenceSeen = true;
            } else if (tag == "#EXTINF") {
                const qsizetype comma = value.indexOf(',');
                pendingSegment.duration = ToSeconds(comma < 0 ? value : value.left(comma));
                const QByteArray attrs = comma < 0 ? QByteArray() : value.mid(comma + 1);
                QByteArray title = Attribute(attrs, "title");
                if (title.isNull() && !attrs.contains('='))
                    title = attrs.trimmed();
                pendingSegment.title = title;
            } else if (tag == "#EXT-X-KEY") {
                pl.keyMethod = Attribute(value, "METHOD").toUpper();
            } else if (tag == "#EXT-X-MAP") {
                const QByteArray uri = Attribute(value, "URI");
                if (!uri.isEmpty())
                    pl.mapUrl = Resolve(url, uri);
            } else if (tag == "#EXT-X-DATERANGE") {
                const QByteArray title = Attribute(value, "X-TITLE");
                if (!title.isEmpty())
                    pl.dateRangeTitle = title;
            } else if (tag == "#EXT-X-ENDLIST") {
                pl.endList = true;
            }
            continue;
        }
        if (variantNext) {
            pendingVariant.url = Resolve(url, line);
            pl.variants.append(pendingVariant);
            variantNext = false;
        } else if (!pl.master) {
            pendingSegment.url = Resolve(url, line);
            pendingSegment.sequence = next++;
            pl.segments.append(pendingSegment);
            pendingSegment = {};
        }
    }
    if (pl.master)
        pl.segments.clear();
    return pl;
}

QList<HlsVariant> OrderVariants(QList<HlsVariant> variants, int maxKbps) {
    const qint64 cap = qint64(maxKbps) * 1000;
    auto over = [cap](const HlsVariant& v) { return cap > 0 && v.bandwidth > cap; };
    std::stable_sort(variants.begin(), variants.end(), [&](const HlsVariant& a, const HlsVariant& b) {
        if (over(a) != over(b))
            return !over(a);
        return over(a) ? a.bandwidth < b.bandwidth : a.bandwidth > b.bandwidth;
    });
    return variants;
}

size_t Id3TagLength(const char* data, size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (size < 10 || p[0] != 'I' || p[1] != 'D' || p[2] != '3' || p[3] == 0xff || p[4] == 0xff ||
        ((p[6] | p[7] | p[8] | p[9]) & 0x80))
        return 0;
    const size_t total = 10 + BigEndian(p + 6, true) + ((p[5] & 0x10) ? 10 : 0);
    return total <= size ? total : 0;
}

QByteArray Id3Title(const char* tag, size_t size) {
    const size_t total = Id3TagLength(tag, size);
    if (total == 0)
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(tag);
    const int version = p[3];
    if (version != 3 && version != 4)
        return {};
    size_t end = std::min(total, 10 + size_t(BigEndian(p + 6, true)));
    size_t i = 10;
    if (p[5] & 0x40) {  // an extended header
        if (end < 14)
            return {};
        const size_t ext = BigEndian(p + 10, version == 4);
        i += version == 4 ? ext : ext + 4;
    }
    QByteArray artist, title;
    while (i + 10 <= end && p[i] != 0) {
        const size_t frameSize = BigEndian(p + i + 4, version == 4);
        if (frameSize > end - i - 10)
            break;
        const QByteArray id(reinterpret_cast<const char*>(p + i), 4);
        if (id == "TIT2")
            title = TextFrame(p + i + 10, frameSize);
        else if (id == "TPE1")
            artist = TextFrame(p + i + 10, frameSize);
        i += 10 + frameSize;
    }
    if (artist.isEmpty() || title.isEmpty())
        return artist.isEmpty() ? title : artist;
    return artist + " - " + title;
}

QList<HlsTimedTitle> TsId3Titles(const QByteArray& segment) {
    struct Tag {
        qsizetype offset;
        qint64 pts;
        QByteArray pes;
    };
    QList<int> pmtPids, id3Pids, mediaPids;
    QList<Tag> tags;
    QHash<int, qsizetype> open;                 // per ID3 stream, the tag its packets still add to
    QList<std::pair<qsizetype, qint64>> media;  // the other streams' PES packets: offset, PTS
    const auto* d = reinterpret_cast<const unsigned char*>(segment.constData());
    for (qsizetype i = 0; i + kTsPacket <= segment.size() && d[i] == 0x47; i += kTsPacket) {
        const unsigned char* p = d + i;
        const bool start = p[1] & 0x40;
        const int pid = (p[1] & 0x1f) << 8 | p[2];
        const qsizetype at = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
        if (!(p[3] & 0x10) || at >= kTsPacket)
            continue;
        const unsigned char* payload = p + at;
        const qsizetype size = kTsPacket - at;
        if (pid == 0 && start) {
            const QByteArrayView pat = PsiBody(payload, size, 0x00);
            for (qsizetype k = 0; k + 4 <= pat.size(); k += 4)
                if (pat[k] || pat[k + 1]) {  // program 0 names the network table
                    const int pmt = (pat[k + 2] & 0x1f) << 8 | uchar(pat[k + 3]);
                    if (!pmtPids.contains(pmt))
                        pmtPids.append(pmt);
                }
        } else if (pmtPids.contains(pid) && start) {
            const QByteArrayView pmt = PsiBody(payload, size, 0x02);
            if (pmt.size() < 4)
                continue;
            id3Pids.clear();
            mediaPids.clear();
            qsizetype k = 4 + ((pmt[2] & 0x0f) << 8 | uchar(pmt[3]));
            while (k + 5 <= pmt.size()) {
                const int es = (pmt[k + 1] & 0x1f) << 8 | uchar(pmt[k + 2]);
                const qsizetype info = (pmt[k + 3] & 0x0f) << 8 | uchar(pmt[k + 4]);
                const QByteArrayView descriptors = pmt.sliced(k + 5, std::min(info, pmt.size() - k - 5));
                (uchar(pmt[k]) == 0x15 && descriptors.contains("ID3 ") ? id3Pids : mediaPids).append(es);
                k += 5 + info;
            }
        } else if (id3Pids.contains(pid)) {
            if (start) {
                open.insert(pid, tags.size());
                tags.append({i, PesPts(payload, size), {}});
            }
            if (const qsizetype t = open.value(pid, -1); t >= 0)
                tags[t].pes.append(reinterpret_cast<const char*>(payload), size);
        } else if (mediaPids.contains(pid) && start) {
            if (const qint64 pts = PesPts(payload, size); pts >= 0)
                media.append({i, pts});
        }
    }
    QList<HlsTimedTitle> titles;
    for (const Tag& t : tags) {
        const auto* p = reinterpret_cast<const unsigned char*>(t.pes.constData());
        if (t.pes.size() < 9)
            continue;
        const qsizetype length = p[4] << 8 | p[5];  // 0: up to the next PES packet
        const qsizetype end = length > 0 ? std::min(t.pes.size(), 6 + length) : t.pes.size();
        const qsizetype body = 9 + p[8];
        if (body >= end)
            continue;
        const QByteArray title = Id3Title(t.pes.constData() + body, size_t(end - body));
        if (title.isEmpty())
            continue;
        qsizetype offset = t.offset;
        if (t.pts >= 0) {
            const auto first = std::find_if(media.begin(), media.end(),
                                            [&t](const auto& m) { return PtsAtOrAfter(m.second, t.pts); });
            offset = first == media.end() ? segment.size() : first->first;
        }
        titles.append({offset, title});
    }
    std::stable_sort(titles.begin(), titles.end(),
                     [](const HlsTimedTitle& a, const HlsTimedTitle& b) { return a.offset < b.offset; });
    return titles;
}

QByteArray HlsCodecsFormat(const QByteArray& codecs) {
    static const std::pair<const char*, const char*> kFormats[] = {
        {"mp4a.40.2", "AAC LC"},   {"mp4a.40.5", "HE-AAC"}, {"mp4a.40.29", "HE-AACv2"}, {"mp4a.40.34", "MP3"},
        {"mp4a.40.42", "xHE-AAC"}, {"mp4a.6b", "MP3"},      {"mp4a.69", "MP3"},         {"mp3", "MP3"},
        {"opus", "Opus"},          {"flac", "FLAC"},        {"ac-3", "AC-3"},           {"ec-3", "E-AC-3"},
        {"alac", "ALAC"},
    };
    for (const QByteArray& codec : codecs.toLower().split(',')) {
        const QByteArray c = codec.trimmed();
        for (const auto& [name, format] : kFormats)
            if (c == name)
                return format;
    }
    return {};
}

}  // namespace wavelot::audio
