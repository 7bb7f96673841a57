#pragma once
// LiveDoor station listing: KEY=value lines, one block per station, each block opened by SRV.

#include <QString>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// Appends one row per SRV block to `searchList`, in listing order:
//   File     "http://" SRV ":" PRT MNT ".m3u" (a missing key adds nothing)
//   Title    NAM (or "None") + " DJ:" DJ (or " DJ: None")
//   Code     3 (the stations' texts are Shift-JIS)
//   Comment  TYPE application/aac, application/aacp, application/ogg -> AAC, AACP, OGG; else MP3
//   JobStart BIT + " kbps", "0 kbps" for 0 or empty
//   JobStop  CLN
// Keys are matched in any letter case, the last line of a key in a block wins, lines before
// the first SRV are dropped. Lines are split at CR LF when the text has one anywhere, else at
// LF; the text is cut at its first NUL. Blanks and trailing CRs are removed from each line,
// because the search doubles the CR of a listing that already ends its lines with CR LF.
void ParseLiveDoorList(const QString& listing, clsSongArray& searchList, const RowAdded& onRow = {});

}  // namespace wavelot
