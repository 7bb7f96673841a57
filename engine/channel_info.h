#pragma once
// What the engine tells about a stream, as the texts the program shows.

#include <QString>

#include "engine/audio/audio_library.h"
#include "engine/audio/stream_engine.h"

namespace wavelot {

// Seconds played so far; negative when the engine cannot tell (FormatSeconds shows 00:00:00).
double ChannelSeconds(const StreamEngine& audio, audio::StreamHandle h);
// The stream's own sample rate rounded to Hz; 0 when the call fails.
int ChannelFreq(const StreamEngine& audio, audio::StreamHandle h);
// The bit rate the decoder reports, kbit/s; 0 when it cannot tell or the call fails.
int ChannelBitrate(const StreamEngine& audio, audio::StreamHandle h);
// "單聲道", "立體聲" or "n 聲道".
QString ChannelsText(const StreamEngine& audio, audio::StreamHandle h);
QString StreamTypeText(const StreamEngine& audio, audio::StreamHandle h);

// The texts behind the two above, by channel count and channel type.
QString ChannelCountText(quint32 channels);
QString StreamTypeName(quint32 ctype);

}  // namespace wavelot
