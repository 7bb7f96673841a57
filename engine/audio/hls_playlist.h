#pragma once
// HTTP Live Streaming play lists (.m3u8) and the ID3 tags packed audio segments begin with.
// Pure functions over bytes: any input gives a defined result, and what is read is capped.

#include <QByteArray>
#include <QList>

namespace wavelot::audio {

struct HlsVariant {
    QByteArray url;        // absolute
    qint64 bandwidth = 0;  // bit/s, 0 when the list does not say
    QByteArray codecs;
};

struct HlsSegment {
    QByteArray url;  // absolute
    qint64 sequence = 0;
    double duration = 0;
    QByteArray title;  // from the EXTINF line's title (attribute or text after the comma)
};

struct HlsPlaylist {
    bool master = false;
    QList<HlsVariant> variants;  // master lists only
    double targetDuration = 0;
    qint64 mediaSequence = 0;
    QList<HlsSegment> segments;
    QByteArray keyMethod;       // the last EXT-X-KEY's METHOD; empty or "NONE" when clear
    QByteArray mapUrl;          // EXT-X-MAP: the init segment of fragmented MP4
    QByteArray dateRangeTitle;  // the last EXT-X-DATERANGE's title
    bool endList = false;
};

inline constexpr int kHlsMaxItems = 2000;  // variants or segments read from one list

// An HLS list, not a list of stream addresses: "#EXTM3U" with any "#EXT-X-" tag or a variant.
bool IsHlsPlaylist(const QByteArray& body);
// Relative addresses are resolved against url, the list's own address.
HlsPlaylist ParseHlsPlaylist(const QByteArray& body, const QByteArray& url);
// The variants to try, best first: highest bandwidth at or under maxKbps (0: no cap), then the
// rest from high to low, those over the cap last (from the lowest up).
QList<HlsVariant> OrderVariants(QList<HlsVariant> variants, int maxKbps);

// The length of the ID3v2 tag (header, body, footer) data begins with; 0 when none or cut off.
size_t Id3TagLength(const char* data, size_t size);
// "artist - title" from a whole tag's TPE1 and TIT2 frames (as UTF-8), or the one given; empty
// when it has neither.
QByteArray Id3Title(const char* tag, size_t size);

// A title of the timed ID3 metadata an MPEG-TS segment carries, and where in the segment its
// sound begins: the first PES packet of the segment's other streams (its audio) presented at or
// after the tag (the segment's end when none is; where the tag itself stands when it has no time).
struct HlsTimedTitle {
    qsizetype offset = 0;
    QByteArray title;
};
// The titles of an MPEG-TS segment's timed ID3 streams (a PMT entry of stream type 0x15 whose
// descriptors name "ID3 "), by offset. Tables and tags are read from this segment alone.
QList<HlsTimedTitle> TsId3Titles(const QByteArray& segment);
// The format a play list's CODECS attribute names ("mp4a.40.5": "HE-AAC"), from its first audio
// codec known here; empty when none is.
QByteArray HlsCodecsFormat(const QByteArray& codecs);

}  // namespace wavelot::audio
