#pragma once
// The reader of the INI list format, and what it found out about the file it read.
//
// It parses the file in one pass straight into records, by the rules of the INI reader
// (ini_file.h): section and key names without regard to case, the first of two equal keys wins,
// values trimmed of blanks and of one pair of enclosing quotes, lines ending with CR LF, LF or
// CR. The file is UTF-16LE or UTF-16BE with its byte-order mark, or else UTF-8 (a UTF-8
// byte-order mark is dropped). Only the section "PlayList" is read.
//
// "NumberOfEntries" is a hint: every entry whose "File<n>" key is present is read, in the order
// of n, whatever the count says and whatever gaps there are between the numbers. n is written
// in plain decimal digits, from 1 ("File01" is not entry 1), as the lookups by key of the
// Windows program found them.
//
// Memory is the file's bytes (and, for UTF-8, its decoded text) plus the records: no line is
// kept once read, so a list of 100,000 jobs reads in a fraction of a second.

#include <QByteArrayView>
#include <QString>

#include "core/list_files.h"

namespace wavelot {

// How the reading of a list file went. The program rewrites its own list files whole, so it
// must know whether the list it holds is all the file had.
struct ListFileRead {
    enum class State {
        Missing,     // no such file: an empty list, nothing lost
        Whole,       // read to the end, every entry the count promises found
        Damaged,     // read what could be read: cut off, tail zeroed, NULs, not a list, or fewer
                     // entries than "NumberOfEntries" promises
        Unreadable,  // exists, but may not be read (permissions, a folder in its place)
    };
    State state = State::Missing;
    int added = 0;  // records appended
};

// Appends the station entries of the file to target (see list_files.h for the fields), calling
// rowAdded after each one.
ListFileRead ReadListFile(const QString& path, bool withJobFields, clsSongArray& target,
                          const RowAddedFn& rowAdded = {});
// The same over the file's bytes; Missing and Unreadable never come from here.
ListFileRead ParseListFile(QByteArrayView bytes, bool withJobFields, clsSongArray& target,
                           const RowAddedFn& rowAdded = {});

}  // namespace wavelot
