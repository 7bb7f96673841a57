#pragma once
// What ffprobe reads from an audio file: codec, bit rate of the stream, length and tags.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace wavelot::test {

struct AudioFacts {
    QString codec;  // empty when ffprobe failed
    int bitRate = 0;
    double seconds = 0;
    QVariantMap tags;  // keys as ffprobe names them ("title", "TLEN")
};

inline AudioFacts ProbeAudio(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            QStringLiteral("-v error -of json -show_entries "
                           "format=duration:format_tags:stream=codec_name,bit_rate")
                    .split(u' ')
                << path);
    p.waitForFinished(20000);
    const QJsonObject all = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QVariantMap stream = all[QStringLiteral("streams")].toArray().first().toObject().toVariantMap();
    const QVariantMap format = all[QStringLiteral("format")].toObject().toVariantMap();
    return {stream[QStringLiteral("codec_name")].toString(), stream[QStringLiteral("bit_rate")].toInt(),
            format[QStringLiteral("duration")].toDouble(), format[QStringLiteral("tags")].toMap()};
}

}  // namespace wavelot::test
