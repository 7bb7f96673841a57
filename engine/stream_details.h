#pragma once
// The block of stream details a connect writes to the play log, built from the stream's
// header tags. Pure functions over decoded text, so that every rule can be checked without a
// stream; the player supplies the decoded tags and what the engine knows about the channel.

#include <QList>
#include <QString>

namespace wavelot {

// One play-log line; scroll asks the view to bring the new row into sight.
struct LogLine {
    QString text;
    bool scroll = false;
    friend bool operator==(const LogLine&, const LogLine&) = default;
};

// Fields of an HTTP or ICY header block. Each keeps the value of the last line with its key.
struct HeaderFields {
    QString contentType;
    QString sampleRate;
    QString audioInfoBitrate;
    QString icyBitrate;
    QString channels;
    QString description;
    QString genre;
    QString icyName;
    QString stationUrl;
    QString server;
    QString metaInterval;
    QString logo;    // icy-logo: the address of the station's logo image
    QString format;  // x-stream-format: the codec an HLS play list names, shown as the stream type
};

// Fields of a Windows Media header block.
struct WmaFields {
    QString bitrate;
    QString sdkVersion;
};

// What the engine reports about the new channel, for fields the headers leave empty.
struct ChannelFacts {
    int frequency = 0;
    QString channelsText;    // ChannelsText of the stream
    QString streamTypeText;  // StreamTypeText of the stream
    int bitrate = 0;         // kbit/s the decoder reports; 0 when it cannot tell
};

// The lines to log and the name the station is shown by from now on.
struct ConnectDetails {
    QString displayName;
    QList<LogLine> lines;
};

// Header lines arrive as "key: value" with ";" packing several pairs into one line (the
// "ice-audio-info:" header does this); both forms are flattened before matching.
HeaderFields ParseHeaderFields(const QString& decodedTags);
WmaFields ParseWmaFields(const QString& decodedTags);

// The bit rate as shown: the ICY value, else the audio-info value (an Ogg stream's header
// value has no unit), else the decoder's rate, else "未知": a rate no one stated is never
// made up.
QString BitrateText(const HeaderFields& fields, int decoderKbps);

// timePrefix is the "hh:mm:ss: " of the connect moment, passed in so that tests can fix it.
ConnectDetails HeaderDetails(const QString& decodedTags, const QString& stationName,
                             const ChannelFacts& facts, const QString& timePrefix);
ConnectDetails WmaDetails(const QString& decodedTags, const QString& stationName, const ChannelFacts& facts,
                          const QString& timePrefix);
// A stream that sent no header tags at all still plays; it is logged with the station's own
// name and what the engine knows about the channel.
ConnectDetails BareDetails(const QString& stationName, const ChannelFacts& facts, const QString& timePrefix);

}  // namespace wavelot
