#pragma once
// Recognising and reading a playlist answer (.pls or .m3u) in place of a stream.

#include <QByteArray>
#include <QList>

namespace wavelot::audio {

// By content type (audio/x-scpls, audio/x-mpegurl, application/vnd.apple.mpegurl and
// relatives) or, when the type says nothing about audio, by the first body bytes.
bool LooksLikePlaylist(const QByteArray& contentType, const QByteArray& firstBytes);
// True when the content type already settles the question either way.
bool ContentTypeIsAudio(const QByteArray& contentType);
// The entry addresses in playlist order: "FileN=" lines of a .pls (by N), or the lines of an
// .m3u that are not comments; only entries with a scheme ("x://") are kept.
QList<QByteArray> ParsePlaylist(const QByteArray& body);

}  // namespace wavelot::audio
