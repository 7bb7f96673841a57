#pragma once
// Recognising and reading a playlist answer (.pls, .m3u, .m3u8) in place of a stream, and the
// resolver every playlist a connect meets goes through.

#include <QByteArray>
#include <QList>
#include <QSet>

#include <deque>

namespace wavelot::audio {

// By content type (audio/x-scpls, audio/x-mpegurl, application/vnd.apple.mpegurl and
// relatives) or, when the type says nothing about audio, by the first body bytes.
bool LooksLikePlaylist(const QByteArray& contentType, const QByteArray& firstBytes);
// True when the content type already settles the question either way.
bool ContentTypeIsAudio(const QByteArray& contentType);
// The entry addresses in playlist order: "FileN=" lines of a .pls (by N), or the lines of an
// .m3u that are not comments; only entries with a scheme ("x://") are kept. An HLS media
// playlist (one with "#EXT-X-TARGETDURATION") lists segments, not streams: it has no entries.
QList<QByteArray> ParsePlaylist(const QByteArray& body);

struct PlaylistLimits {
    int maxDepth = 2;                 // playlists inside playlists followed this deep
    int maxRequests = 10;             // addresses asked for in one connect, the first included
    int maxEntries = 10;              // entries taken from one playlist
    qsizetype maxBytes = 256 * 1024;  // the longest playlist answer read
};

// The addresses one connect asks for, in order: the first, then, whenever an answer is a
// playlist, its entries before anything still pending (depth first). An address is asked for
// once, so a playlist that lists itself or two that list each other end at once; the depth and
// request limits end any other chain of playlists. Next() returning empty ends the connect.
class PlaylistResolver {
public:
    explicit PlaylistResolver(const QByteArray& url, PlaylistLimits limits = {});
    QByteArray Next();
    // The answer to the last address Next gave was a playlist with this body.
    void AddPlaylist(const QByteArray& body);
    int Requests() const { return requests_; }
    const PlaylistLimits& Limits() const { return limits_; }

private:
    struct Pending {
        QByteArray url;
        int depth;
    };
    PlaylistLimits limits_;
    std::deque<Pending> pending_;
    QSet<QByteArray> asked_;
    int depth_ = 0;  // of the address Next gave last
    int requests_ = 0;
};

}  // namespace wavelot::audio
