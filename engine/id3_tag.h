#pragma once
// A small in-place edit of a finished MP3 file's ID3v2 tag.

#include <QByteArray>
#include <QList>
#include <QString>

namespace wavelot {

// Removes the frames with these ids (e.g. "TLEN") from the ID3v2.3 or 2.4 tag at the start of
// the file. The tag keeps its size: the frames left move up and padding fills the end, so only
// the tag's bytes are rewritten, whatever the size of the file. True when a frame was removed;
// false, with the file untouched, when there is none, or no tag, or a tag this does not take
// apart safely (unsynchronised, extended header, damaged frame sizes).
bool DropId3v2Frames(const QString& path, const QList<QByteArray>& ids);

}  // namespace wavelot
