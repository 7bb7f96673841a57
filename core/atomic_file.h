#pragma once
// Replacing a file so that it is either the old file or the complete new one, never a part.
//
// Bytes go to a temporary file beside the target; Commit flushes it to disk and renames it
// over the target. Every write is checked to its last byte: a short write (full disk, file-size
// limit) fails the whole file. (QSaveFile was not used: on a short write during its final flush
// it reported success with the file cut off.)
//
// The temporary file is "<target>.tmp-XXXXXX" and is locked (flock) while it is written. A
// program killed between creating it and the rename leaves it behind; the next save of the same
// target, and the program's start-up, remove such files, but never one that is locked, so a save
// running at the same moment (a second instance of the program) keeps its file.

#include <QByteArray>
#include <QString>

namespace wavelot {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();  // an uncommitted file is discarded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for target; false when its folder is missing or not writable.
    bool Open(const QString& target);
    // False, and the file abandoned, when not every byte could be written.
    bool Write(const QByteArray& bytes);
    // Puts the file in place; false (old file untouched) after any failure.
    bool Commit();
    void Cancel();
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    QByteArray tempPath_;
    QByteArray targetPath_;
};

// The whole file at once.
bool WriteFileAtomically(const QString& target, const QByteArray& bytes);

// Removes the temporary files that killed saves of target left beside it, except those a save
// is writing now. Returns how many were removed.
int RemoveStaleTempFiles(const QString& target);

}  // namespace wavelot
