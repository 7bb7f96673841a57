#pragma once
// The song timer's work: the title is polled while the current stream plays, and a stream that
// dropped (it ended by itself while connected) is opened again from the station stored as the
// last one started.
//
// A drop is a closed connection or a stall past the network time-out: the engine reports a
// shorter stall as still playing, so a server that pauses is waited for rather than reconnected
// (which would replay its burst and split a recording in two).
//
// Reconnecting never gives up on its own: the first attempt comes at once, the next ones after
// 1, 2, 4, 8, 15 and 30 s, then every 30 s, until one succeeds or the user stops or picks a
// station (the player's ReconnectPending ends). The first attempt logs the connect lines; each
// later one that fails logs one line.
//
// Recording after a reconnect: when a recording ran at the drop, it goes on at once in a new file
// that begins after the sound the old file already holds (the server's burst on reconnect
// repeats the last seconds; they are found in the new stream and skipped). Otherwise, with the
// loop-recording option, recording starts three seconds after the reconnect (a timer: the
// watchdog goes on watching meanwhile), unless the station changed or stopped in between. The user's wish to
// record thus survives a drop whatever the option says: a drop is not the user's stop.
//
// A drop is acted on once: on the first tick or end notification that finds the current stream
// not playing while connected. Each stream is checked once, so a successful reconnect (a new
// stream) is watched again. The connect inside an attempt dispatches events; ticks that arrive
// meanwhile only poll titles, and a drop they see is taken up when the attempt has finished.
//
// Main thread only.

#include <QObject>
#include <QTimer>

#include "engine/audio/audio_library.h"

namespace wavelot {

class Player;
class Recorder;
class RecordOptions;

class StreamWatchdog : public QObject {
    Q_OBJECT

public:
    // Also listens to the player's end notification. player, recorder and options must outlive
    // it.
    StreamWatchdog(Player& player, Recorder& recorder, const RecordOptions& options,
                   QObject* parent = nullptr);

    // The song timer's tick.
    void Tick();

    // The wait before attempt n (0 is the first after the drop).
    static int RetryDelaySeconds(int attempt);

    static constexpr int kRecordAgainAfterMs = 3000;

    // The length of a second in the waits above (tests shorten it).
    void SetSecondMs(int ms) { secondMs_ = ms; }

Q_SIGNALS:
    // An attempt to open a dropped stream again has finished (connected says whether it worked).
    void reconnected(bool connected);

private:
    void ReconnectIfDropped();
    void Attempt();
    void AttemptEnded();
    void AfterReconnect();

    Player& player_;
    Recorder& recorder_;
    const RecordOptions& options_;
    int secondMs_ = 1000;
    QTimer retry_;                     // the next attempt after a failed one
    audio::StreamHandle handled_ = 0;  // the last dropped stream acted on
    int attempt_ = 0;                  // attempts made for it
    bool resume_ = false;              // a recording ran when it dropped
    audio::AudioTail tail_;            // the end of that recording's sound
    bool attempting_ = false;          // an attempt's connect is under way
};

}  // namespace wavelot
