#pragma once
// Where a recording goes and what the encoder is told: folder and file names made from station
// and song texts, the bit rate of a quality entry, the song's tags, and the lame command line.
// Pure functions; the recorder applies them to the disk.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

#include "engine/recording_tags.h"

namespace wavelot {

// Longest file or folder name the usual Linux file systems take, in bytes.
inline constexpr int kNameMaxBytes = 255;
// What the date suffix and the extension add to a song's name: "_yymmdd_hhmmss_", room for a
// counter of up to four digits, the longest extension (".opus").
inline constexpr int kSongSuffixBytes = 15 + 4 + 5;

// A station or song text made fit to name one file or folder inside the recording folder: the
// file-name cleaner, control characters dropped, spaces trimmed, cut to maxBytes of UTF-8 at a
// character boundary. A result that is empty, "." or ".." (which would name no file, or the
// folder itself or its parent) becomes fallback.
QString SafeName(const QString& text, const QString& fallback, int maxBytes = kNameMaxBytes);
QString StationFolderName(const QString& displayName);
QString SongFileBase(const QString& songTitle);

// The folder recordings go into, ending with "/": the user's folder text, or defaultFolder when
// the text is empty or blank; a relative text counts from programFolder.
QString RecordingRoot(const QString& folderText, const QString& defaultFolder, const QString& programFolder);

// stationFolder + base + extension; when that exists, base + "_yymmdd_hhmmss_" (the time now) +
// extension; when that exists too, a counter from 2 is put before the extension, so a recording
// is never written over.
QString ChooseRecordingFile(const QString& stationFolder, const QString& base, const QDateTime& now,
                            const std::function<bool(const QString&)>& exists,
                            const QString& extension = QStringLiteral(".mp3"));

// The bit rate (kbit/s) of a quality entry: its text up to the first space ("128 Kbps" gives
// "128"); an index outside the list, or the station's own format (where lame runs only for a
// codec that cannot be copied), gives "128", since an empty rate would make lame fail.
QString QualityBitrate(int index);
inline constexpr char16_t kFallbackBitrate[] = u"128";

// Artist and title of a song title: split at the first " - "; without one, all is the title.
struct SongTags {
    QString artist;
    QString title;
};
SongTags SplitSongTitle(const QString& songTitle);

// lame reading WAV from standard input and writing file at the bit rate. Its tags are written
// once the file is finished (recording_tags.h); lame only leaves an empty ID3v2 tag with room for
// them, so writing them rewrites the tag's bytes and not the whole file.
QStringList LameArguments(const QString& lame, const QString& file, const QString& bitrate);

// The tags of a song's file: artist and title of the song title, the station's name and address,
// the day recording began.
RecordingTags SongFileTags(const QString& songTitle, const QString& station, const QString& address,
                           const QDate& day);

}  // namespace wavelot
