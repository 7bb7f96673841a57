#pragma once
// InLive ranking page: scrapes the broadcast ranking into the scratch list, then keeps one row
// in three for the search list.

#include <QString>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// Walks the page (after HTML entity decoding) position by position, markers in any letter
// case, each value ending at a terminator within its window:
//
//   <td><div class="avar"><a href="   to the next quote (500)  address -> address + "/listen.pls"
//   "bs", "                            to the next quote (100)  name
//   <dd class="genre">                 to the next "<" (100)    genre, blanks trimmed
//   target=_blank></a> <em>            to the next "<" (100)    " DJ:" + DJ name, trimmed
//   <p><em>                            to the next "<" (100)    listener text, trimmed; closes a row
//
// The values live for the whole page (a block without a DJ keeps the previous block's DJ).
// Each closing marker appends File, Title = name + DJ text, Code 4, Comment = genre,
// JobStop = listeners to `scratchList`. Afterwards the whole scratch list is walked and only
// rows 0, 3, 6, ... are copied to `searchList` (JobStart empty), calling `onRow` per copy.
void ParseInLivePage(const QString& page, clsSongArray& scratchList, clsSongArray& searchList,
                     const RowAdded& onRow = {});

}  // namespace wavelot
