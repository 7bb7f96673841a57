#pragma once
// The song timer's work: the title is polled while the current stream plays, and a stream that
// dropped (it stopped playing by itself while connected) is opened again from the station
// stored as the last one started; when the options ask for it, recording starts three seconds
// later, whether or not it ran before the drop.
//
// A drop is acted on once: on the first tick or end notification that finds the current stream
// not playing while connected. Each stream is checked once, so a successful reconnect (a new
// stream) is watched again, and a failed one (not connected) ends the attempts. The reconnect
// waits while dispatching events; ticks that arrive meanwhile only poll titles, and a drop they
// see is taken up when the reconnect has finished.
//
// Main thread only.

#include <QObject>

#include "engine/audio/audio_library.h"

namespace wavelot {

class Player;
class RecordOptions;

class StreamWatchdog : public QObject {
    Q_OBJECT

public:
    // Also listens to the player's end notification. player and options must outlive it.
    StreamWatchdog(Player& player, const RecordOptions& options, QObject* parent = nullptr);

    // The song timer's tick.
    void Tick();

    static constexpr int kRecordAgainAfterMs = 3000;

Q_SIGNALS:
    // A dropped stream was opened again (connected says whether that worked).
    void reconnected(bool connected);

private:
    void CheckDrop();
    void ReconnectIfDropped();

    Player& player_;
    const RecordOptions& options_;
    audio::StreamHandle handled_ = 0;  // the last dropped stream acted on
    bool busy_ = false;                // inside a reconnect
    bool again_ = false;               // a drop was seen while busy
};

}  // namespace wavelot
