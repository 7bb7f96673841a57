#pragma once
// A list the program keeps in a file of its own (Favorites.ini, RunJob.ini): what its reading at
// start found, and so whether a write over the file may happen and whether it is needed.
//
// - A list that still holds what its file holds is not written: the file keeps its bytes, also
//   those no decoding could keep (a title that is not valid UTF-8 stays as it was).
// - A damaged file (see ListFileRead) keeps what could be read. Before it is first written over,
//   the old file is copied beside it as "<name>.bak-yymmdd_hhmmss", at most one copy a day (the
//   copy of the day stands for the others); while the copy cannot be made the file is not
//   written. Once written, the file is whole again.
// - A file the program may not read is never written: it may hold a list the program cannot see.
// - A missing file is written, so the list has its file from the first save on.
//
// Whether a list changed is told by a fingerprint of its records (the fields the file holds), so a
// change nobody announced is written all the same, and a change undone before the save is not.

#include <QByteArray>
#include <QString>

#include <vector>

#include "core/list_ini_reader.h"
#include "core/song_array.h"

namespace wavelot {

class KeptListFile {
public:
    KeptListFile() = default;
    KeptListFile(QString path, bool withJobFields) : path_(std::move(path)), jobFields_(withJobFields) {}

    // Reads the file into list, which should be empty. A damaged file is copied at once, so the
    // one who tells the user can name the copy.
    ListFileRead Load(clsSongArray& list);

    const QString& Path() const { return path_; }
    bool WithJobFields() const { return jobFields_; }
    // What the last reading found; Whole once the file was written.
    ListFileRead::State State() const { return state_; }
    // The copy of the damaged file, or empty.
    const QString& Backup() const { return backup_; }

    // False for a file that must not be written: one the program may not read, or a damaged one
    // whose copy cannot be made (tried again here, so a full disk freed later lets it through).
    bool MayWrite();
    // The fingerprint of the records the file holds as this program last read or wrote it, or
    // empty when the file is due a write whatever the records (missing or damaged).
    const QByteArray& OnDisk() const { return onDisk_; }
    // After rows with this fingerprint were written.
    void Written(const QByteArray& fingerprint);

    // Writes the list unless it is unchanged or the file may not be written; true when the file
    // holds the list afterwards.
    bool Save(const clsSongArray& list);

private:
    bool MakeBackup();

    QString path_;
    bool jobFields_ = false;
    ListFileRead::State state_ = ListFileRead::State::Missing;
    QString backup_;
    QByteArray onDisk_;
};

// The fingerprint of records, over the fields a list file with or without job fields holds.
QByteArray ListFingerprint(const clsSongArray& list, bool withJobFields);
QByteArray ListFingerprint(const std::vector<StationRow>& rows, bool withJobFields);

// A save on any thread: the rows are written unless their fingerprint is onDisk.
struct KeptListWrite {
    bool ok = false;       // the file holds the rows
    bool written = false;  // and was written for it
    QByteArray fingerprint;
};
KeptListWrite WriteKeptList(const QString& path, const std::vector<StationRow>& rows, bool withJobFields,
                            const QByteArray& onDisk);

}  // namespace wavelot
