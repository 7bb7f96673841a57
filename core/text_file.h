#pragma once
// Whole-file text reader and text writer, for two kinds of file.
//
// The program's own files (TextFileKind::Own). The reader takes a file smaller than 4 MiB,
// either UTF-16LE with the byte-order mark or, in any other case, UTF-8 (the "ANSI" of this
// platform; a UTF-8 byte-order mark is dropped). Lines end with CR LF only: a lone LF or CR stays
// inside the line, so a file separated by LF alone reads as one line. The writer writes UTF-16LE
// with the byte-order mark and CR LF line ends.
//
// Play lists exchanged with other programs (TextFileKind::Exchange). The reader also takes
// UTF-16BE with its byte-order mark, and a line ends at LF, CR LF or a lone CR. The writer writes
// UTF-8 without a byte-order mark and LF line ends, as other players on this platform read them.
//
// Either reader returns a last line without a line end, and a file ending with a line end yields
// one more, empty, line. The writer replaces the target atomically: lines go to a temporary file
// beside it, and only CloseTextFile puts that file in the target's place. A failed write, or a
// writer destroyed without CloseTextFile, leaves whatever file was there before untouched.

#include "core/atomic_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wavelot {

inline constexpr qint64 kTextFileSizeLimit = 4 * 1024 * 1024;  // files must be smaller

enum class TextFileKind {
    Own,       // the program's own files
    Exchange,  // play lists read from and written for other programs
};

class TextFileReader {
public:
    explicit TextFileReader(TextFileKind kind = TextFileKind::Own) : kind_(kind) {}

    // False (and nothing to read) when the file cannot be opened, is empty, is 4 MiB or larger,
    // is UTF-16 with an odd size, or cannot be read completely.
    bool OpenTextFile(const QString& path);
    // The bytes of a file, decoded by the same rules (no size check, no file).
    bool OpenBytes(const QByteArray& bytes);
    // Next line up to its line end; false when no line is left.
    bool ReadTextLine(QString& line);

private:
    TextFileKind kind_;
    QString buffer_;
    qsizetype pos_ = 0;
};

// Reads every line of a file by the rules above; false when OpenTextFile fails.
bool ReadTextLines(const QString& path, QStringList& lines, TextFileKind kind = TextFileKind::Own);

class TextFileWriter {
public:
    TextFileWriter();
    ~TextFileWriter();  // discards an uncommitted file
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    // Starts a new file for path (replacing any file being written); an own file begins with FF FE.
    bool CreateTextFile(const QString& path, TextFileKind kind = TextFileKind::Own);
    // Text plus the line end. Does nothing when no file is open; a failed write abandons the file, so
    // later lines are dropped and CloseTextFile keeps the old file.
    void WriteTextLine(const QString& text);
    // Puts the written file in place. True only when every line was written and the rename
    // succeeded.
    bool CloseTextFile();
    bool IsOpen() const;

private:
    bool Flush();

    AtomicFile file_;
    TextFileKind kind_ = TextFileKind::Own;
    QByteArray pending_;  // lines not yet handed to the file, to keep system calls few
};

}  // namespace wavelot
