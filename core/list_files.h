#pragma once
// Station lists as files: the program's INI list format (Favorites.ini, RunJob.ini, exported
// and imported ".ini" and ".pls") and extended M3U.
//
// Files written here are UTF-16LE with the byte-order mark and CR LF (TextFileWriter) and
// replace their target atomically. Values are written as they stand, except that line breaks
// inside a value become blanks, so no field can add lines of its own.
//
// Readers append (they never clear the list first) and skip entries whose address does not
// begin with "HTTP" or "MMS" in any case. They call rowAdded, when given, after each record
// they append, so a view can grow row by row, and return how many records they appended.
//
// Which list a file goes into is decided by the main window's 1-based tab number: tab 2 is the
// favourites, tab 3 the jobs; other tabs import nothing.

#include <QString>

#include <functional>
#include <vector>

#include "core/song_array.h"

namespace wavelot {

using RowAddedFn = std::function<void()>;

inline constexpr int kTabSearch = 1;
inline constexpr int kTabFavorites = 2;
inline constexpr int kTabJobs = 3;
inline constexpr int kTabPlayLog = 4;

// Target lists of an import, by tab.
struct ImportTargets {
    clsSongArray* favorites = nullptr;  // tab 2
    clsSongArray* jobs = nullptr;       // tab 3
};

// An import does not read larger INI lists (the M3U reader has the text-file limit of 4 MiB): a
// hostile file must not take the memory. The program's own list of 20,000 jobs is about 11 MiB,
// and its own files are read whatever their size, so none of them is ever lost to the limit.
inline constexpr qint64 kListFileSizeLimit = 64 * 1024 * 1024;

// INI list reader. Integer fields that are missing or not a number read as 0 (Code included,
// so entries of PLS files written by other software load with Code 0). Values are read whole:
// an address longer than 127 characters survives a save and reload.
int ReadListIni(const QString& path, bool withJobFields, clsSongArray& target,
                const RowAddedFn& rowAdded = {});
// True when the file was written completely and put in place.
bool WriteListIni(const QString& path, const clsSongArray& list, bool withJobFields);
// The same from a copy of the records, for a writer on another thread.
bool WriteListIni(const QString& path, const std::vector<StationRow>& rows, bool withJobFields);

// M3U reader: "#EXTINF:" gives the pending title (the text after its first comma is the name,
// kept as it stands); each address line takes the most recent name, or itself when there is
// none. On the jobs tab JobStart and JobStop are the current local time "hh:mm:ss".
int ReadM3u(const QString& path, int currentTab, const ImportTargets& targets,
            const RowAddedFn& rowAdded = {});
bool WriteM3u(const QString& path, const clsSongArray& list);

// By extension, compared in lower case: "m3u" reads M3U, "pls" and "ini" read the INI list
// format (into favourites on tab 2 without job fields, into jobs on tab 3 with them); any other
// extension reads nothing.
int ImportListFile(const QString& path, int currentTab, const ImportTargets& targets,
                   const RowAddedFn& rowAdded = {});

// An import as the user's commands do it: all or nothing. The file is read into a list of its
// own first, and only a file that gave stations is appended to the target, in one go.
struct ListImport {
    enum class Status {
        Imported,    // `added` stations appended
        Ignored,     // not a list's extension, or a tab without a list: nothing read
        Unreadable,  // missing, not a file, or it could not be read
        TooLarge,    // over the reader's limit
        NoStations,  // read, but not a list, or a list without a station address
    };
    Status status = Status::Ignored;
    int added = 0;
};
ListImport ImportList(const QString& path, int currentTab, const ImportTargets& targets,
                      const RowAddedFn& rowAdded = {});

// Export by extension: "m3u" writes M3U, "pls" and "ini" the INI list format (with job fields
// when withJobFields); any other extension writes nothing and returns false.
bool ExportListFile(const QString& path, const clsSongArray& list, bool withJobFields);

}  // namespace wavelot
