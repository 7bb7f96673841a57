#pragma once
// Writing the play log to a text file the user can keep.

#include <QDateTime>
#include <QString>

namespace wavelot {

class clsSongArray;

// "yyyymmdd_hhmmss_Playlist.txt" for the moment of the export.
QString PlayLogExportFileName(const QDateTime& when);

// Writes the File text of every record, in order, as UTF-16LE with byte-order mark and CR LF.
// An existing file of that name is replaced only once the whole log is written. False when the
// file could not be written; nothing is left behind then.
bool ExportPlayLog(const clsSongArray& log, const QString& path);

// The confirmation the window shows after a successful export; names the file's full path.
QString PlayLogExportMessage(const QString& path);

}  // namespace wavelot
