#pragma once
// The local station list "Radio.txt": one station per line, name, a tab, the stream address.

#include <QString>
#include <QStringList>

#include "core/song_array.h"
#include "directories/directory_types.h"

namespace wavelot {

// Appends File = second field, Title = first field, Code 0, everything else empty or 0, one
// row per line in file order; fields after a second tab are ignored. A line without a tab
// (an empty line among them) names no address and is skipped.
void AddRadioListLines(const QStringList& lines, clsSongArray& searchList, const RowAdded& onRow = {});

// Reads the file with the text reader (UTF-16LE with byte-order mark or UTF-8, under 4 MiB,
// CR LF lines) and adds its lines; false, and nothing added, when it cannot be read.
bool LoadRadioList(const QString& path, clsSongArray& searchList, const RowAdded& onRow = {});

}  // namespace wavelot
