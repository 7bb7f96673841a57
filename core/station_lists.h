#pragma once
// The five station lists that live for the whole run. The application's start-up creates one
// StationLists and hands it to whatever shows or changes a list; nothing reaches the lists
// through globals.

#include "core/list_changes.h"
#include "core/song_array.h"

namespace wavelot {

// Members are constructed in declaration order, which is the order the lists come into being.
struct StationLists {
    clsSongArray jobList;             // scheduled jobs, kept in RunJob.ini
    clsSongArray favoriteList;        // favourites, kept in Favorites.ini
    clsSongArray searchList;          // the last directory search
    clsSongArray playLogList;         // one record per play-log line
    clsSongArray rankingScratchList;  // raw ranking rows before they reach the search list
    ListChanges changes;              // announces changes of the two kept lists

    clsSongArray& Kept(KeptList which) { return which == KeptList::Favorites ? favoriteList : jobList; }

    // Shutdown empties every list (their files were written before).
    void ClearAll() {
        jobList.Clear();
        favoriteList.Clear();
        searchList.Clear();
        playLogList.Clear();
        rankingScratchList.Clear();
    }
};

}  // namespace wavelot
