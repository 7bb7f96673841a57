#include "engine/stream_watchdog.h"

#include "core/pump_wait.h"
#include "engine/player.h"
#include "engine/record_options.h"

namespace wavelot {

StreamWatchdog::StreamWatchdog(Player& player, const RecordOptions& options, QObject* parent)
    : QObject(parent), player_(player), options_(options) {
    // Queued: the player may report the end from inside a connect.
    connect(&player_, &Player::currentStreamEnded, this, &StreamWatchdog::Tick, Qt::QueuedConnection);
}

void StreamWatchdog::Tick() {
    if (player_.IsPlaying()) {
        player_.UpdateSongTitle(player_.StationCode());
        return;
    }
    CheckDrop();
}

void StreamWatchdog::CheckDrop() {
    if (busy_) {
        again_ = true;
        return;
    }
    busy_ = true;
    do {
        again_ = false;
        ReconnectIfDropped();
    } while (again_);
    busy_ = false;
}

void StreamWatchdog::ReconnectIfDropped() {
    const audio::StreamHandle dropped = player_.Current();
    if (player_.IsPlaying() || !player_.IsConnected() || dropped == handled_)
        return;
    handled_ = dropped;
    player_.StopRadio();
    player_.PlayLastStation();
    Q_EMIT reconnected(player_.IsConnected());
    if (options_.LoopRecording()) {
        PumpWait(kRecordAgainAfterMs);
        // The connect cleared the recording wish, so the record command starts a recording;
        // after a failed connect nothing plays and nothing records.
        player_.ToggleRecording();
    }
}

}  // namespace wavelot
