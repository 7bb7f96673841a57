#include "engine/audio/icy_stream.h"

#include <QList>

namespace wavelot::audio {

bool HeaderBlock::AddLine(const char* data, size_t size) {
    QByteArray line(data, qsizetype(size));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return !lines_.isEmpty();
    if (line.startsWith("HTTP/") || line.startsWith("ICY")) {
        lines_.clear();
        status_ = line;
    }
    // A NUL inside a header line would cut the series short for every reader.
    line.replace('\0', ' ');
    lines_.append(line);
    lines_.append('\0');
    return false;
}

QByteArray HeaderBlock::Tags() const {
    if (lines_.isEmpty())
        return {};
    QByteArray out = lines_;
    out.append('\0');
    return out;
}

bool HeaderBlock::IsIcy() const {
    return status_.startsWith("ICY");
}

int HeaderBlock::Status() const {
    const QList<QByteArray> parts = status_.split(' ');
    if (parts.size() < 2)
        return 0;
    bool ok = false;
    int code = parts.at(1).toInt(&ok);
    return ok ? code : 0;
}

QByteArray HeaderBlock::Value(const QByteArray& key) const {
    const QByteArray wanted = key.toLower() + ':';
    for (const QByteArray& line : lines_.split('\0')) {
        if (line.size() >= wanted.size() && line.left(wanted.size()).toLower() == wanted)
            return line.mid(wanted.size()).trimmed();
    }
    return {};
}

void MetaintCutter::Feed(const char* data, size_t size, const std::function<void(const char*, size_t)>& audio,
                         const std::function<void(const QByteArray&)>& meta) {
    if (metaint_ <= 0) {
        audio(data, size);
        return;
    }
    size_t i = 0;
    while (i < size) {
        if (audioLeft_ > 0) {
            size_t n = std::min(size - i, size_t(audioLeft_));
            audio(data + i, n);
            i += n;
            audioLeft_ -= int(n);
        } else if (metaLeft_ < 0) {
            metaLeft_ = static_cast<unsigned char>(data[i++]) * 16;
            meta_.clear();
            if (metaLeft_ == 0) {
                metaLeft_ = -1;
                audioLeft_ = metaint_;
            }
        } else {
            size_t n = std::min(size - i, size_t(metaLeft_));
            meta_.append(data + i, qsizetype(n));
            i += n;
            metaLeft_ -= int(n);
            if (metaLeft_ == 0) {
                qsizetype end = meta_.indexOf('\0');
                if (end >= 0)
                    meta_.truncate(end);
                if (!meta_.isEmpty())
                    meta(meta_);
                metaLeft_ = -1;
                audioLeft_ = metaint_;
            }
        }
    }
}

}  // namespace wavelot::audio
