#pragma once
// Song titles from a stream's own tags: Vorbis comments of an Ogg stream, or the
// "StreamTitle" of ICY metadata. Pure functions over decoded text.

#include <QString>

namespace wavelot {

// The title composed from Vorbis comments (given as decoded lines separated by CR LF):
// "artist - album artist album (date) track.title", parts that are missing leave out their
// separators; a missing album and date leave "- " in their place only when the artist is missing
// too ("A - T", "- T"). The result is not yet cleaned for use as a file name.
QString ComposeOggTitle(const QString& commentLines);

// The title carried by an ICY metadata string such as "StreamTitle='Artist - Song';StreamUrl='';".
// A string that is not a StreamTitle leaves the title as it is (current); a StreamTitle with no
// usable text gives the station's name.
QString IcyStreamTitle(const QString& metadata, const QString& stationName, const QString& current);

}  // namespace wavelot
