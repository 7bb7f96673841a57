#pragma once
// Icecast directory web site: scrapes a search result page into search rows.

#include <QString>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// Walks the page (after HTML entity decoding) position by position and watches five markers,
// in any letter case; each one sets a field from the text after it up to a terminator found
// within a short window:
//
//   listeners">[        value to the next " " (window 500)      -> JobStop
//   -description">      value to the next "<" (window 100)      -> Title
//   /listen/            marker itself through ".m3u" (window 100) -> File, after `siteBase`
//   format" title="     value to the next quote (window 20)     -> JobStart
//   streams">           value to the next "<" (window 20)       -> Comment, closes a station
//
// The fields live for the whole page, not per station: a station block that lacks a marker
// (or whose terminator lies outside the window) shows the value of the block before it, and
// a marker inside a value already taken is read too. Every found streams marker
// appends one row; Code is 0, JobStart "0 kbps" or empty reads "未知", Comment is "OGG" for
// "ogg vorbis", "AAC+" for "aac+" (any case) and "MP3" otherwise.
void ParseIcecastPage(const QString& page, const QString& siteBase, clsSongArray& searchList,
                      const RowAdded& onRow = {});

}  // namespace wavelot
