#pragma once
// Radio-Browser, the open station directory: building its search and click requests, and
// turning its JSON answer into search rows.

#include <QByteArray>
#include <QHash>
#include <QString>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// Stations asked for per search, most clicked first.
inline constexpr int kRadioBrowserRequestLimit = 200;
// Rows taken from one answer at most, so a server that ignores the request's limit cannot
// flood the list.
inline constexpr int kRadioBrowserStationLimit = 10000;
// An answer larger than this is not read at all (the fetch refuses one too).
inline constexpr qsizetype kRadioBrowserMaxAnswerBytes = 16 * 1024 * 1024;

// Path and query of a station search, to be put after a server's base address. By genre the
// genre's tag is searched (matched by the directory as a part of a station's tags); "top", or
// no genre, lists the most clicked stations. By name the text is searched in station names,
// trimmed and percent-encoded (a typed "&" or "#" is part of the name, not of the query).
// Broken stations are left out, the order is by click count, highest first.
QString RadioBrowserSearchPath(int searchKind, int genreIndex, const QString& text);

// Path that counts one play of the station with that identifier.
QString RadioBrowserClickPath(const QString& stationUuid);

// The directory's identifier of each station in the search list, by the row's File: the
// search list has no field to spare for it, and a File survives the list being sorted.
using RadioBrowserIds = QHash<QString, QString>;

// Appends one row per station of the answer's top-level array, in answer order:
//   File     url_resolved, or url when that is empty (blanks trimmed; only http and https)
//   Title    name, trimmed; the File when there is none
//   Code     0
//   Comment  codec; "未知" when it is empty or "UNKNOWN"
//   JobStart bitrate + " kbps"; "未知" when it is missing or 0
//   JobStop  clickcount; empty when it is missing
//   Logo     favicon, when it is an http or https address
// A station without a playable address, or an array element that is not an object, is
// skipped; at most kRadioBrowserStationLimit rows are taken. Numbers may come as JSON numbers
// or as digit strings. The station's stationuuid, when it has one, goes into `ids`.
//
// False, and nothing appended, when the answer is not a JSON array (an error page, a broken
// or cut-off answer, one larger than kRadioBrowserMaxAnswerBytes); an empty array is true.
bool ParseRadioBrowserAnswer(const QByteArray& json, clsSongArray& searchList, RadioBrowserIds* ids = nullptr,
                             const RowAdded& onRow = {});
// The same for the answer as text (the raw-text box's).
bool ParseRadioBrowserAnswer(const QString& answer, clsSongArray& searchList, RadioBrowserIds* ids = nullptr,
                             const RowAdded& onRow = {});

}  // namespace wavelot
