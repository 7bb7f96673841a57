#include "engine/channel_info.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace wavelot {

double ChannelSeconds(const StreamEngine& audio, audio::StreamHandle h) {
    return audio.ChannelBytes2Seconds(h, audio.ChannelGetPosition(h, audio::POS_BYTE));
}

int ChannelFreq(const StreamEngine& audio, audio::StreamHandle h) {
    float freq = 0;
    if (!audio.ChannelGetAttribute(h, audio::ATTRIB_FREQ, &freq) || !std::isfinite(freq))
        return 0;
    return static_cast<int>(std::lround(freq));
}

int ChannelBitrate(const StreamEngine& audio, audio::StreamHandle h) {
    float kbps = 0;
    if (!audio.ChannelGetAttribute(h, audio::ATTRIB_BITRATE, &kbps) || !std::isfinite(kbps) || kbps < 1)
        return 0;
    return static_cast<int>(std::lround(kbps));
}

QString ChannelsText(const StreamEngine& audio, audio::StreamHandle h) {
    audio::ChannelInfo info;
    audio.ChannelGetInfo(h, &info);
    return ChannelCountText(info.chans);
}

QString StreamTypeText(const StreamEngine& audio, audio::StreamHandle h) {
    audio::ChannelInfo info;
    audio.ChannelGetInfo(h, &info);
    return StreamTypeName(info.ctype);
}

QString ChannelCountText(quint32 channels) {
    if (channels == 1)
        return u"單聲道"_s;
    if (channels == 2)
        return u"立體聲"_s;
    return QString::number(channels) + u" 聲道"_s;
}

QString StreamTypeName(quint32 ctype) {
    switch (ctype) {
    case audio::CTYPE_STREAM_OGG: return u"Ogg Vorbis Audio Streams"_s;
    case audio::CTYPE_STREAM_MP3: return u"MPEG-1 Audio Layer 3 Audio Streams"_s;
    case audio::CTYPE_STREAM_WMA: return u"Windows Media Audio Streams"_s;
    case audio::CTYPE_STREAM_AAC: return u"Advanced Audio Coding and MPEG-4 Streams"_s;
    case audio::CTYPE_STREAM_MP4: return u"Advanced Audio Coding MPEG-4 Streams"_s;
    default: return u"未知"_s;
    }
}

}  // namespace wavelot
