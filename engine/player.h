#pragma once
// The program's one playback of an internet stream: connect, cross-fade, stop, volume, the
// current song title and the equalizer preset on the current stream. It writes what happens to
// the play log, and reports each title with the frame it begins at; recording is the recorder's,
// which listens.
//
// Everything here runs on the main thread, and nothing waits inside a call: a connect, its
// cross-fade and the fade at a stop are steps driven by the engine's queued answer and by timers,
// and connectFinished or stopFinished tells their end. Another PlayRadio or StopRadio may come
// while one is under way: each step keeps the handles it works on, and a connect overtaken by a
// later PlayRadio or StopRadio does not claim the connection for its stream.
//
// Settings are never cached: each value is read from the settings file when it is used and
// written the moment it changes.

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <vector>

#include "core/settings.h"
#include "engine/audio/audio_library.h"
#include "engine/audio/stream_engine.h"
#include "engine/eq_presets.h"
#include "engine/play_log.h"

namespace wavelot {

class clsSongArray;
struct ConnectDetails;

class Player : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,        // no stream plays
        Connecting,  // inside a connect; the previous stream, if any, keeps playing
        Playing,     // connected and the current stream plays (or is stalled, waiting for data)
        Dropped,     // the current stream ended by itself while connected, or a reconnect is under
                     // way: the station is still wanted
    };

    // Fade and wait times in milliseconds.
    static constexpr int kCrossFadeMs = 1000;
    static constexpr int kStopFadeMs = 500;
    static constexpr int kVolumeGlideMs = 800;

    // settingFile: the Setting.ini to read and write. audio must be initialised by the caller
    // (InitAudioEngine, for the real library) and outlive the player. playLog receives one record per log
    // line.
    Player(QString settingFile, StreamEngine& audio, clsSongArray& playLog, QObject* parent = nullptr);
    ~Player() override;  // frees the streams it still holds

    // Opens and plays a station: leaves the current stream (streamLeaving), applies the proxy setting,
    // stores the station as the last one started (also when the connect fails) and starts the
    // connect; connectFinished follows once it failed or its cross-fade is over.
    void PlayRadio(const QString& url, const QString& name, int code);
    // The play command: the station started last, as the settings hold it.
    void PlayLastStation();
    // A player for a background recording, set before its first PlayRadio: its streams go to the
    // silent output, it applies no equalizer, and the station it started last is kept here, not
    // in the settings.
    void SetBackground() { background_ = true; }
    // The reconnect's attempt: PlayLastStation, except that a failed attempt keeps the station
    // wanted (ReconnectPending) for the next one, until the user's own PlayRadio or StopRadio.
    // quiet: the attempt logs one line when it fails, and its connect lines only once it succeeds
    // (a server away for the night must not fill the log). An attempt overtaken by the user's
    // PlayRadio or StopRadio while it connected gives its stream up.
    void Reconnect(bool quiet);
    bool ReconnectPending() const { return reconnectPending_; }
    // Fades the current stream out and frees it when the fade is over, then stopFinished. Unless
    // it plays, stopFinished comes at once: on a stream that ended by itself (or while reconnect
    // attempts wait) the call only ends the wish to reconnect, without a log line.
    void StopRadio();
    // The cross-fade and the fade at a stop take these times instead (tests shorten them).
    void SetFadeTimes(int crossFadeMs, int stopFadeMs) {
        crossFadeMs_ = crossFadeMs;
        stopFadeMs_ = stopFadeMs;
    }
    // Clamps to 0..100, glides the current stream there (to silence while muted) and stores it.
    void SetVolume(int value);

    // Re-reads the current stream's title; logs and notifies (titleBegins last) when it changed.
    // code is the text-encoding code to decode ICY metadata with.
    void UpdateSongTitle(int code);

    // Equalizer on the current stream. 1 removes the bands, 2..12 set a preset, anything else
    // applies nothing; the index is stored in every case.
    void SetEqPreset(int index);
    void ApplyEq(const QString& gains);

    // True while the current stream plays, stalls and pauses included: a server that pauses with
    // its connection open has not dropped, and its sound resumes when data returns.
    bool IsPlaying() const;
    // Pause for live radio: the station stays connected, and its recording and titles go on with
    // the live sound; Resume plays on from the paused frame, behind live (from the oldest sound
    // kept when the pause outlasted it), and GoLive plays the live sound again. False when the
    // current stream does not play, or cannot be paused (an engine that keeps no sound).
    bool Pause();
    bool Resume();
    bool GoLive();
    // Paused: IsPlaying still holds, as the station stays connected.
    bool IsPaused() const;
    // The sound plays, or will resume, behind live.
    bool IsBehindLive() const;
    // Seconds the current stream has played.
    double ElapsedSeconds() const;
    // The spectrum snapshot of the current stream into magnitudes (resized as needed): the number
    // of magnitudes read, or 0 when there are too few for the display (nothing plays).
    int ReadSpectrum(std::vector<float>& magnitudes) const;

    State PlaybackState() const;
    // A connect, a cross-fade or a stop's fade is under way.
    bool Busy() const { return !sequences_.empty(); }
    audio::StreamHandle Current() const { return current_; }
    audio::StreamHandle Previous() const { return previous_; }
    audio::StreamHandle Pending() const { return pending_; }
    bool IsConnected() const { return isConnected_; }
    bool IsMuted() const { return isMuted_; }
    // Takes effect at the next SetVolume or connect; callers pass the slider value afterwards.
    void SetMuted(bool muted) { isMuted_ = muted; }
    int VolumeLevel() const { return volumeLevel_; }
    // The value last applied by SetVolume (0..100), muted or not; the stored one before that.
    int Volume() const { return volume_; }
    QString StationName() const { return stationName_; }
    QString DisplayName() const { return displayName_; }
    // The address of the station whose stream is the current one.
    QString StationUrl() const { return stationUrl_; }
    int StationCode() const { return stationCode_; }
    QString SongTitle() const { return songTitle_; }
    // The frame where the current title's tags took effect; 0 (the stream's start) without tags.
    quint64 TitleFrame() const { return titleSource_.tags.isNull() ? 0 : titleAt_; }
    QString LastTitle() const { return lastTitle_; }
    int IndexEQ() const { return indexEQ_; }
    // The ten band effects last set; they belong to the stream that was current then.
    const std::array<audio::FxHandle, kEqBandCount>& EqFx() const { return eqFx_; }
    const QString& SettingFile() const { return settings_.File(); }
    wavelot::PlayLog& Log() { return log_; }
    clsSongArray& PlayLog() { return log_.Lines(); }

Q_SIGNALS:
    // A line was appended to the play log (it is the log's last record now), also one the
    // recorder wrote.
    void logLineAdded(const QString& text, bool scroll);
    void playLogCleared();
    // A new song title was logged.
    void titleChanged(const QString& title);
    // The title of the current stream changed: it begins at the stream's frame `frame`, where
    // its tags took effect (0 when the stream does not tell). Sent after the other notifications
    // of the change.
    void titleBegins(const QString& title, quint64 frame);
    // The player is about to leave `stream` (a connect to another station, a stop): whatever
    // records it ends now, before the player goes on.
    void streamLeaving(audio::StreamHandle stream);
    // The text the tray icon's tip should show now.
    void iconTipChanged(const QString& tip);
    // SetVolume applied a value (also the one it already had).
    void volumeChanged(int volume);
    // The current stream played to its end by itself (server gone, source stopped) while it was
    // the connected one; the reconnect logic may act at once instead of waiting for a poll.
    void currentStreamEnded();
    // A PlayRadio or Reconnect has ended: connected when its stream became the connected one
    // (false when it failed or was overtaken). Never sent from inside the call.
    void connectFinished(bool connected);
    // A StopRadio has ended (see there).
    void stopFinished();
    // Pause, Resume or GoLive changed how the current stream plays.
    void pauseChanged(bool paused);

private:
    void Open(const QString& url, const QString& name, int code, bool reconnect, bool quiet);
    // What a connect under way was asked for.
    struct Opening {
        QString url;
        QString name;
        int code = 0;
        bool reconnect = false;
        bool quiet = false;
        quint64 generation = 0;  // generation_ when it began
        quint64 sequence = 0;    // its entry in sequences_
    };
    void OpenStream(const QString& url, int code, const QString& name, bool reconnect, bool quiet);
    void ConnectLines(const QString& name);
    void Connected(const Opening& opening, audio::StreamHandle mine);
    void CrossFadeOver(audio::StreamHandle previous, audio::StreamHandle mine, quint64 generation,
                       quint64 sequence);
    // Connects and fading stops under way nest: one begun while another is under way runs to its
    // end before the earlier one takes its next step, so the log lines and the engine calls come
    // in the order of calls that each waited for their end. Begin enters a sequence; When runs
    // its next step now when no later one is under way, else once they have ended; End leaves
    // it, sends its end signal through tell, then lets the one below take a step it was kept
    // from.
    quint64 Begin();
    void When(quint64 sequence, std::function<void()> step);
    void End(quint64 sequence, const std::function<void()>& tell);
    void EndConnect(quint64 sequence, bool connected);
    // A fade has ended: its stream is freed.
    void FadeOver(audio::StreamHandle stream);
    void LogDetails(const ConnectDetails& details);
    void ApplyProxySetting();
    void OnMetaSync(audio::StreamHandle stream);
    void OnEndSync(audio::StreamHandle stream);
    void AddLog(const QString& text, bool scroll) { log_.Add(text, scroll); }

    const Settings settings_;
    StreamEngine& audio_;
    wavelot::PlayLog log_;

    audio::StreamHandle previous_ = 0;
    audio::StreamHandle current_ = 0;
    audio::StreamHandle pending_ = 0;
    bool isConnected_ = false;
    bool reconnectPending_ = false;  // a reconnect attempt failed and the next is due
    bool background_ = false;
    LastStation backgroundLast_;  // the station a background player started last
    bool isMuted_ = false;
    int crossFadeMs_ = kCrossFadeMs;
    int stopFadeMs_ = kStopFadeMs;
    int volumeLevel_ = 1;
    int volume_ = 0;
    QString stationName_;
    QString stationUrl_;
    QString displayName_;
    int stationCode_ = 0;
    QString songTitle_;
    QString lastTitle_;
    // What songTitle_ was last worked out from. The song timer asks every 10 ms while the tags
    // rarely change, so the decode runs again only when the stream, its tag bytes, the station or
    // its code differ (the result depends on nothing else).
    struct TitleSource {
        audio::StreamHandle stream = 0;
        bool ogg = false;
        QByteArray tags;
        int code = 0;
        QString station;
        bool operator==(const TitleSource&) const = default;
    };
    TitleSource titleSource_;
    quint64 titleAt_ = 0;  // the frame where the tags songTitle_ comes from took effect
    int indexEQ_ = 0;
    std::array<audio::FxHandle, kEqBandCount> eqFx_{};
    QByteArray proxyText_;                     // the engine copies it; kept as the proxy in force
    int connecting_ = 0;                       // connects in progress
    std::vector<audio::StreamHandle> fading_;  // streams fading out, freed when their fade ends
    std::vector<quint64> sequences_;           // connects and fading stops under way, the latest last
    std::map<quint64, std::function<void()>> deferred_;  // their steps held back by later ones
    quint64 lastSequence_ = 0;
    // Bumped by every PlayRadio and by every StopRadio that acted: a connect overtaken by either
    // before its fade ended leaves IsConnected to the later operation.
    quint64 generation_ = 0;
};

}  // namespace wavelot
