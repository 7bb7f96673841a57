#include "core/text_file.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

bool TextFileReader::OpenBytes(const QByteArray& bytes) {
    buffer_.clear();
    pos_ = 0;
    const bool bigEndian = kind_ == TextFileKind::Exchange && bytes.startsWith("\xFE\xFF");
    if (bytes.startsWith("\xFF\xFE") || bigEndian) {
        if (bytes.size() % 2 != 0)
            return false;
        QStringDecoder d(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                         QStringDecoder::Flag::Stateless);
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
    if (kind_ == TextFileKind::Own) {
        const qsizetype at = buffer_.indexOf(u"\r\n"_s, pos_);
        if (at < 0)
            return false;
        line = buffer_.mid(pos_, at - pos_);
        pos_ = at + 2;
        return true;
    }
    // The buffer ends with CR LF, so every line left has its end.
    const qsizetype size = buffer_.size();
    if (pos_ >= size)
        return false;
    qsizetype at = pos_;
    while (buffer_.at(at) != u'\r' && buffer_.at(at) != u'\n')
        ++at;
    line = buffer_.mid(pos_, at - pos_);
    pos_ = at + (buffer_.at(at) == u'\r' && at + 1 < size && buffer_.at(at + 1) == u'\n' ? 2 : 1);
    return true;
}

bool ReadTextLines(const QString& path, QStringList& lines, TextFileKind kind) {
    lines.clear();
    TextFileReader reader(kind);
    if (!reader.OpenTextFile(path))
        return false;
    QString line;
    while (reader.ReadTextLine(line))
        lines.append(line);
    return true;
}

TextFileWriter::TextFileWriter() = default;
TextFileWriter::~TextFileWriter() = default;

bool TextFileWriter::CreateTextFile(const QString& path, TextFileKind kind) {
    pending_.clear();
    kind_ = kind;
    if (!file_.Open(path))
        return false;
    return kind == TextFileKind::Exchange || file_.Write(QByteArray("\xFF\xFE", 2));
}

bool TextFileWriter::Flush() {
    const bool ok = file_.Write(pending_);
    pending_.clear();
    return ok;
}

void TextFileWriter::WriteTextLine(const QString& text) {
    if (!file_.IsOpen())
        return;
    if (kind_ == TextFileKind::Exchange) {
        pending_ += text.toUtf8();
        pending_ += '\n';
    } else {
        QStringEncoder e(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
        pending_ += e(text + u"\r\n"_s);
    }
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
