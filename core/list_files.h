#pragma once
// Station lists as files: the program's INI list format (Favorites.ini, RunJob.ini, exported
// and imported ".ini" and ".pls") and extended M3U.
//
// The program's own files and exported ".ini" lists are UTF-16LE with the byte-order mark and
// CR LF; exported ".m3u", ".m3u8" and ".pls" lists are UTF-8 with LF, as other players read them
// (TextFileWriter). Every file written replaces its target atomically. Values are written as
// they stand, except that line breaks inside a value become blanks, so no field can add lines of
// their own.
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

// INI list reader (list_ini_reader.h, which also tells whether the file was read whole). Every
// entry with a "File<n>" key is read, whatever "NumberOfEntries" says. Integer fields that are
// missing or not a number read as 0 (Code included, so entries of PLS files written by other
// software load with Code 0). Values are read whole: an address longer than 127 characters
// survives a save and reload. "Logo<n>" holds the address of the station's logo image; it is
// written only for a station that has one, so a list without logos keeps the old format, and
// older readers, which look up only their own keys, pass over it.
int ReadListIni(const QString& path, bool withJobFields, clsSongArray& target,
                const RowAddedFn& rowAdded = {});
// True when the file was written completely and put in place.
bool WriteListIni(const QString& path, const clsSongArray& list, bool withJobFields);
// The same from a copy of the records, for a writer on another thread.
bool WriteListIni(const QString& path, const std::vector<StationRow>& rows, bool withJobFields);

// M3U reader, for the files of other programs too (UTF-8 with or without the byte-order mark,
// UTF-16LE or BE with it; lines end with LF, CR LF or CR). "#EXTINF:" gives the pending title
// (the text after its first comma, trimmed, is the name); each address line takes the most
// recent name, or itself when there is none. A "#EXTDESC:" line gives the next address its
// Comment. On the jobs tab JobStart and JobStop are the current local time "hh:mm:ss".
int ReadM3u(const QString& path, int currentTab, const ImportTargets& targets,
            const RowAddedFn& rowAdded = {});
// Per record "#EXTINF:-1," and the name, "#EXTDESC:" and the Comment when there is one, and the
// address, after the line "#EXTM3U".
bool WriteM3u(const QString& path, const clsSongArray& list);

// By extension, compared in lower case: "m3u" and "m3u8" read M3U, "pls" and "ini" read the INI list
// format (into favourites on tab 2 without job fields, into jobs on tab 3 with them); any other
// extension reads nothing.
int ImportListFile(const QString& path, int currentTab, const ImportTargets& targets,
                   const RowAddedFn& rowAdded = {});

// An import as the user's commands do it: all or nothing. The file is read into a list of its
// own first, and only a file that gave stations is appended to the target, in one go. A station
// whose address the list (or the file, further up) already has is not added again; on the jobs
// tab a job read with its schedule from an INI list is left out only when a job with the same
// address and schedule (mode, type, start, stop, days) is there.
struct ListImport {
    enum class Status {
        Imported,    // `added` stations appended, `already` left out as already there
        Ignored,     // not a list's extension, or a tab without a list: nothing read
        Unreadable,  // missing, not a file, or it could not be read
        TooLarge,    // over the reader's limit
        NoStations,  // read, but not a list, or a list without a station address
    };
    Status status = Status::Ignored;
    int added = 0;
    int already = 0;
};
ListImport ImportList(const QString& path, int currentTab, const ImportTargets& targets,
                      const RowAddedFn& rowAdded = {});

// Export by extension: "m3u" and "m3u8" write M3U, "pls" and "ini" the INI list format (with job
// fields when withJobFields; ".pls" in UTF-8, ".ini" as the program's own files); any other
// extension writes nothing and returns false.
bool ExportListFile(const QString& path, const clsSongArray& list, bool withJobFields);

}  // namespace wavelot
