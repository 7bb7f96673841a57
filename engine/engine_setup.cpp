#include "engine/engine_setup.h"

#include "engine/audio/audio_library.h"

using namespace Qt::StringLiterals;

namespace wavelot {

bool InitAudioEngine(AudioLibrary& audio) {
    if (!audio.Init(-1, 44100, 0)) {
        audio.Free();
        return false;
    }
    // Every codec is built into the back end, so there are no plug-in files to load.
    audio.SetConfig(audio::CONFIG_NET_PLAYLIST, kNetPlaylist);
    audio.SetConfig(audio::CONFIG_NET_PREBUF, kNetPrebufferPct);
    audio.SetConfig(audio::CONFIG_NET_BUFFER, kNetBufferMs);
    audio.SetConfig(audio::CONFIG_NET_TIMEOUT, kNetTimeoutMs);
    audio.SetConfigPtr(audio::CONFIG_NET_PROXY, "");
    return true;
}

void ReleaseAudioEngine(AudioLibrary& audio) {
    audio.PluginFree(0);
    audio.Free();
}

QString EngineSetupFailedMessage() {
    return u"無法啟動音效引擎，程式即將結束。"_s;
}

}  // namespace wavelot
