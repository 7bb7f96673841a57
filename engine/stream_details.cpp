#include "engine/stream_details.h"

#include <QStringList>

#include <cmath>
#include <span>

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kCrLf = u"\r\n"_s;

// Splits at CR LF, trims each line and drops the empty ones.
QStringList DetailLines(const QString& text) {
    QStringList lines;
    for (const QString& raw : text.split(kCrLf)) {
        const QString line = raw.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

struct KeyField {
    QStringView key;  // lower case
    QString* field;
};

// A line matches a key when it starts with it, ignoring case; the value is the rest of the
// line as received. Later lines overwrite earlier ones.
void MatchKeys(const QStringList& lines, std::span<const KeyField> keys) {
    for (const QString& line : lines) {
        for (const KeyField& k : keys) {
            if (line.size() >= k.key.size() && line.first(k.key.size()).toLower() == k.key) {
                *k.field = line.mid(k.key.size());
            }
        }
    }
}

QString ChannelsFromField(const QString& field, const ChannelFacts& facts) {
    if (field.isEmpty())
        return facts.channelsText;
    if (field == u"1"_s)
        return u"單聲道"_s;
    if (field == u"2"_s)
        return u"立體聲"_s;
    return field + u" 聲道"_s;
}

}  // namespace

HeaderFields ParseHeaderFields(const QString& decodedTags) {
    QString text = decodedTags;
    text.replace(u';', kCrLf);
    text.replace(u": "_s, u":"_s);
    text.remove(u"ice-audio-info:"_s, Qt::CaseInsensitive);

    HeaderFields f;
    const KeyField keys[] = {
        {u"content-type:", &f.contentType}, {u"ice-samplerate:", &f.sampleRate},
        {u"bitrate:", &f.audioInfoBitrate}, {u"icy-br:", &f.icyBitrate},
        {u"channels:", &f.channels},        {u"icy-description:", &f.description},
        {u"icy-genre:", &f.genre},          {u"icy-name:", &f.icyName},
        {u"icy-url:", &f.stationUrl},       {u"server:", &f.server},
        {u"icy-metaint:", &f.metaInterval}, {u"icy-logo:", &f.logo},
        {u"x-stream-format:", &f.format},
    };
    MatchKeys(DetailLines(text), keys);
    return f;
}

WmaFields ParseWmaFields(const QString& decodedTags) {
    WmaFields f;
    const KeyField keys[] = {{u"bitrate=", &f.bitrate}, {u"wmfsdkversion=", &f.sdkVersion}};
    MatchKeys(DetailLines(decodedTags), keys);
    return f;
}

QString BitrateText(const HeaderFields& f, int decoderKbps) {
    QString rate = f.icyBitrate.isEmpty() ? f.audioInfoBitrate : f.icyBitrate;
    if (rate.isEmpty())
        return decoderKbps > 0 ? QString::number(decoderKbps) + u" Kbps"_s : u"未知"_s;
    if (f.contentType.right(3).toLower() == u"ogg"_s)
        return rate;
    return rate + u" Kbps"_s;
}

ConnectDetails HeaderDetails(const QString& decodedTags, const QString& stationName,
                             const ChannelFacts& facts, const QString& timePrefix) {
    const HeaderFields f = ParseHeaderFields(decodedTags);
    ConnectDetails d;
    d.displayName = f.icyName.isEmpty() ? stationName : f.icyName;
    const QString genre = f.genre.isEmpty() ? f.description : f.genre;
    const QString sampleRate =
        (f.sampleRate.isEmpty() ? QString::number(facts.frequency) : f.sampleRate) + u" Hz"_s;

    auto& l = d.lines;
    l.append({timePrefix + u"連線成功，開始播放 "_s + d.displayName});
    l.append({QString()});
    l.append({u"電台名稱: "_s + d.displayName});
    l.append({u"電台曲風: "_s + genre});
    if (!f.stationUrl.isEmpty())
        l.append({u"電台網址: "_s + f.stationUrl});
    if (!f.server.isEmpty())
        l.append({u"主機類型: "_s + f.server});
    if (!f.metaInterval.isEmpty())
        l.append({u"資料傳輸: "_s + f.metaInterval});
    l.append({u"壓縮頻率: "_s + BitrateText(f, facts.bitrate)});
    l.append({u"輸出頻率: "_s + sampleRate});
    l.append({u"電台聲道: "_s + ChannelsFromField(f.channels, facts)});
    l.append({u"串流類型: "_s + (f.format.isEmpty() ? facts.streamTypeText : f.format)});
    l.append({QString(), true});
    return d;
}

ConnectDetails WmaDetails(const QString& decodedTags, const QString& stationName, const ChannelFacts& facts,
                          const QString& timePrefix) {
    const WmaFields f = ParseWmaFields(decodedTags);
    ConnectDetails d;
    d.displayName = stationName;

    auto& l = d.lines;
    l.append({timePrefix + u"連線成功，開始播放 "_s + stationName});
    l.append({QString()});
    l.append({u"電台名稱: "_s + stationName});
    bool isNumber = false;
    const double bitsPerSecond = f.bitrate.trimmed().toDouble(&isNumber);
    if (isNumber && std::isfinite(bitsPerSecond)) {
        // Whole kilobits, halves rounded away from zero as the number format always did.
        const long long kbps = std::llround(bitsPerSecond / 1000.0);
        l.append({u"壓縮頻率: "_s + QString::number(kbps) + u" kbps"_s});
    }
    l.append({u"輸出頻率: "_s + QString::number(facts.frequency) + u" Hz"_s});
    l.append({u"電台聲道: "_s + facts.channelsText});
    l.append({u"主機類型: Windows Media Audio "_s + f.sdkVersion});
    l.append({u"串流類型: "_s + facts.streamTypeText});
    l.append({QString()});
    l.append({timePrefix + stationName, true});
    return d;
}

ConnectDetails BareDetails(const QString& stationName, const ChannelFacts& facts, const QString& timePrefix) {
    ConnectDetails d;
    d.displayName = stationName;
    auto& l = d.lines;
    l.append({timePrefix + u"連線成功，開始播放 "_s + stationName});
    l.append({QString()});
    l.append({u"電台名稱: "_s + stationName});
    l.append({u"輸出頻率: "_s + QString::number(facts.frequency) + u" Hz"_s});
    l.append({u"電台聲道: "_s + facts.channelsText});
    l.append({u"串流類型: "_s + facts.streamTypeText});
    l.append({QString(), true});
    return d;
}

}  // namespace wavelot
