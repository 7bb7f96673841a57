#pragma once
// The parts of an HTTP/ICY answer that are pure byte work: the header block kept for the tags,
// and the cutting of in-stream metadata out of the audio at icy-metaint.

#include <QByteArray>

#include <functional>

namespace wavelot::audio {

// Collects header lines as a series of NUL-terminated strings (line ends removed, bytes kept)
// ended by an empty string. A new status line starts a new block, so after redirects or an
// interim 100 answer only the last answer's block remains.
class HeaderBlock {
public:
    // One raw line as libcurl hands it, with its CR LF; returns true at the blank line that
    // ends a block.
    bool AddLine(const char* data, size_t size);
    QByteArray Tags() const;  // the series with its closing empty string; null when none
    bool IsIcy() const;       // the status line begins with "ICY"
    int Status() const;       // the status code of the status line, 0 when unknown
    // The value of the first header named key (case-insensitive, key without the colon),
    // trimmed; null when absent.
    QByteArray Value(const QByteArray& key) const;
    bool Empty() const { return lines_.isEmpty(); }

private:
    QByteArray lines_;  // the series without its closing empty string
    QByteArray status_;
};

// Splits an ICY body into audio and metadata. metaint 0 passes everything as audio.
class MetaintCutter {
public:
    explicit MetaintCutter(int metaint) : metaint_(metaint), audioLeft_(metaint) {}
    // audio gets runs of audio bytes; meta gets each non-empty metadata block with its padding
    // NULs dropped (an empty block, length byte 0, means "unchanged" and is not reported).
    void Feed(const char* data, size_t size, const std::function<void(const char*, size_t)>& audio,
              const std::function<void(const QByteArray&)>& meta);

private:
    int metaint_;
    int audioLeft_;
    int metaLeft_ = -1;  // -1: the length byte comes next (when audioLeft_ is 0)
    QByteArray meta_;
};

}  // namespace wavelot::audio
