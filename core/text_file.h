#pragma once
// Whole-file text reader and UTF-16LE text writer.
//
// The reader takes a file smaller than 4 MiB, either UTF-16LE with the byte-order mark or, in
// any other case, UTF-8 (the "ANSI" of this platform; a UTF-8 byte-order mark is dropped).
// Lines end with CR LF only: a lone LF or CR stays inside the line, so a file separated by LF
// alone reads as one line. A last line without CR LF is still returned, and a file ending with
// CR LF yields one more, empty, line.
//
// The writer writes UTF-16LE with the byte-order mark and CR LF line ends. It replaces the
// target atomically: lines go to a temporary file beside it, and only CloseTextFile puts that
// file in the target's place. A failed write, or a writer destroyed without CloseTextFile,
// leaves whatever file was there before untouched.

#include "core/atomic_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wavelot {

inline constexpr qint64 kTextFileSizeLimit = 4 * 1024 * 1024;  // files must be smaller

class TextFileReader {
public:
    // False (and nothing to read) when the file cannot be opened, is empty, is 4 MiB or larger,
    // is UTF-16LE with an odd size, or cannot be read completely.
    bool OpenTextFile(const QString& path);
    // The bytes of a file, decoded by the same rules (no size check, no file).
    bool OpenBytes(const QByteArray& bytes);
    // Next line up to CR LF; false when no CR LF is left.
    bool ReadTextLine(QString& line);

private:
    QString buffer_;
    qsizetype pos_ = 0;
};

// Reads every line of a file by the rules above; false when OpenTextFile fails.
bool ReadTextLines(const QString& path, QStringList& lines);

class TextFileWriter {
public:
    TextFileWriter();
    ~TextFileWriter();  // discards an uncommitted file
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Starts a new file for path (replacing any file being written) and writes FF FE.
    bool CreateTextFile(const QString& path);
    // Text plus CR LF. Does nothing when no file is open; a failed write abandons the file, so
    // later lines are dropped and CloseTextFile keeps the old file.
    void WriteTextLine(const QString& text);
    // Puts the written file in place. True only when every line was written and the rename
    // succeeded.
    bool CloseTextFile();
    bool IsOpen() const;

private:
    bool Flush();

    AtomicFile file_;
    QByteArray pending_;  // lines not yet handed to the file, to keep system calls few
};

}  // namespace wavelot
