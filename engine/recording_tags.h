#pragma once
// The tags of a finished recording, written with TagLib once the encoder has closed the file:
// artist and title of the song, the station's name as album, the station's address as comment
// and the day it was recorded, and the station's logo as the front cover. The container decides the kind of
// tag: ID3v2.3 for MP3, MP4 atoms for .m4a, Vorbis comments for Ogg Vorbis and Opus.
//
// MP3 gets ID3v2.3 rather than 2.4: the players and devices that still read only 2.3 (car
// radios, older portable players, the file managers of other desktops) outnumber those that read
// only 2.4, and 2.3's UTF-16 text keeps Chinese, Japanese and Korean titles readable in both.

#include <QDate>
#include <QString>

namespace wavelot {

struct RecordingTags {
    QString artist;  // empty: no artist tag
    QString title;
    QString album;    // the station's name
    QString comment;  // the station's address
    QDate date;       // the day recording began
    QString cover;    // a PNG file, the station's logo; empty, missing or not a PNG: no cover
};

// Replaces every tag of the file with these (an MP3 keeps only its ID3v2.3 tag: an ID3v1 or APE
// tag, and the length frame lame writes for a live input, are dropped). The cover goes in as
// an APIC frame, a covr atom or a METADATA_BLOCK_PICTURE comment; a cover that cannot be read
// leaves the file without one and the other tags as they would be. False, with the file as
// it was, when TagLib cannot open or write it or the file is not audio it knows.
bool WriteRecordingTags(const QString& file, const RecordingTags& tags);

}  // namespace wavelot
