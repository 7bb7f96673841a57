#include "core/text_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

bool TextFileReader::OpenBytes(const QByteArray& bytes) {
    buffer_.clear();
    pos_ = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        if (bytes.size() % 2 != 0)
            return false;
        QStringDecoder d(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        buffer_ = d(QByteArrayView(bytes).sliced(2));
    } else {
        // The UTF-8 decoder drops a leading byte-order mark.
        QStringDecoder d(QStringDecoder::Utf8);
        buffer_ = d(bytes);
    }
    buffer_ += u"\r\n"_s;
    return true;
}

bool TextFileReader::OpenTextFile(const QString& path) {
    buffer_.clear();
    pos_ = 0;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    if (size <= 0 || size >= kTextFileSizeLimit)
        return false;
    const QByteArray bytes = f.read(size);
    // A file that changed size while being read is not trusted.
    if (bytes.size() != size || !f.atEnd())
        return false;
    return OpenBytes(bytes);
}

bool TextFileReader::ReadTextLine(QString& line) {
    const qsizetype at = buffer_.indexOf(u"\r\n"_s, pos_);
    if (at < 0)
        return false;
    line = buffer_.mid(pos_, at - pos_);
    pos_ = at + 2;
    return true;
}

bool ReadTextLines(const QString& path, QStringList& lines) {
    lines.clear();
    TextFileReader reader;
    if (!reader.OpenTextFile(path))
        return false;
    QString line;
    while (reader.ReadTextLine(line))
        lines.append(line);
    return true;
}

TextFileWriter::TextFileWriter() = default;
TextFileWriter::~TextFileWriter() = default;

bool TextFileWriter::CreateTextFile(const QString& path) {
    pending_.clear();
    return file_.Open(path) && file_.Write(QByteArray("\xFF\xFE", 2));
}

bool TextFileWriter::Flush() {
    const bool ok = file_.Write(pending_);
    pending_.clear();
    return ok;
}

void TextFileWriter::WriteTextLine(const QString& text) {
    if (!file_.IsOpen())
        return;
    QStringEncoder e(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
    pending_ += e(text + u"\r\n"_s);
    if (pending_.size() >= 64 * 1024)
        Flush();
}

bool TextFileWriter::CloseTextFile() {
    if (!file_.IsOpen())
        return false;
    return Flush() && file_.Commit();
}

bool TextFileWriter::IsOpen() const {
    return file_.IsOpen();
}

}  // namespace wavelot
