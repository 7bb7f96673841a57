#pragma once
// Setting the audio engine up when the program starts and releasing it at the end.

#include <QString>

namespace wavelot {

class AudioLibrary;

// Network options of every connect.
inline constexpr int kNetPlaylist = 1;      // follow .pls and .m3u answers
inline constexpr int kNetPrebufferPct = 0;  // start the sound without waiting for the buffer
inline constexpr int kNetBufferMs = 15000;
inline constexpr int kNetTimeoutMs = 10000;

// Initialises the engine on the default output at 44100 Hz and sets the network options. On
// failure the engine is released again and false returned: the program cannot play anything
// then, and its caller tells the user (EngineSetupFailedMessage) before it ends.
bool InitAudioEngine(AudioLibrary& audio);
void ReleaseAudioEngine(AudioLibrary& audio);

QString EngineSetupFailedMessage();

}  // namespace wavelot
