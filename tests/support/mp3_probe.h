#pragma once
// What ffprobe reads from an audio file: codec, bit rate, length and tags.

#include <QMap>
#include <QString>

namespace wavelot::test {

struct AudioFacts {
    bool ok = false;  // ffprobe ran and found an audio stream
    QString codec;    // "mp3"
    int bitRate = 0;  // of the audio stream, bit/s
    double seconds = 0;
    QMap<QString, QString> tags;  // the container's tags, keys as ffprobe names them ("title", "TLEN")
};

AudioFacts ProbeAudio(const QString& path);

}  // namespace wavelot::test
