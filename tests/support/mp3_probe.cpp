#include "tests/support/mp3_probe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace wavelot::test {

AudioFacts ProbeAudio(const QString& path) {
    AudioFacts facts;
    QProcess p;
    p.start(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-show_entries"_s,
             u"format=duration:format_tags:stream=codec_name,bit_rate"_s, u"-of"_s, u"json"_s, path});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return facts;
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonArray streams = root[u"streams"_s].toArray();
    if (streams.isEmpty())
        return facts;
    const QJsonObject stream = streams.first().toObject();
    const QJsonObject format = root[u"format"_s].toObject();
    facts.codec = stream[u"codec_name"_s].toString();
    facts.bitRate = stream[u"bit_rate"_s].toString().toInt();
    facts.seconds = format[u"duration"_s].toString().toDouble();
    const QJsonObject tags = format[u"tags"_s].toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        facts.tags.insert(it.key(), it.value().toString());
    facts.ok = true;
    return facts;
}

}  // namespace wavelot::test
