#pragma once
// SHOUTcast legacy directory: reading an answer's status code and turning the station list of
// an answer into search rows.

#include <QString>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// At most this many stations are taken from one answer.
inline constexpr int kShoutcastStationLimit = 200;

// The text between the first ">" after "<statusCode" (any letter case) and the next "<";
// empty when the element, its ">" or the closing "<" is missing. "450" and "441" are the
// codes with which the directory rejects a developer key.
QString GetShoutcastStatus(const QString& answer);

// Appends one row per station (at most 200, in answer order) to `searchList`:
// File = tuneInBase + "/sbin/tunein-station.pls?id=" + id, Title = name, Code 0,
// Comment "MP3" for mt exactly "audio/mpeg" and "AAC+" for any other type,
// JobStart = br + " kbps", JobStop = lc.
//
// A station is the text from one "station name" (any letter case) to the next; its name is
// the first quoted text after the marker, then mt=, id=, br= and lc= are each searched after
// the previous one. A station that lacks one of them before the next station begins is
// skipped rather than completed from its neighbour's attributes. `developerKey` names the
// key that produced the answer; the answer's format does not depend on it.
void ParseShoutcastAnswer(const QString& answer, const QString& developerKey, const QString& tuneInBase,
                          clsSongArray& searchList, const RowAdded& onRow = {});

}  // namespace wavelot
