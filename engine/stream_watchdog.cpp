#include "engine/stream_watchdog.h"

#include <algorithm>
#include <array>

#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"

namespace wavelot {

StreamWatchdog::StreamWatchdog(Player& player, Recorder& recorder, const RecordOptions& options,
                               QObject* parent)
    : QObject(parent), player_(player), recorder_(recorder), options_(options) {
    // Queued: the player may report the end from inside a connect.
    connect(&player_, &Player::currentStreamEnded, this, &StreamWatchdog::Tick, Qt::QueuedConnection);
    connect(&player_, &Player::connectFinished, this, &StreamWatchdog::AttemptEnded);
    connect(&player_, &Player::stopFinished, this, &StreamWatchdog::AttemptEnded);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] {
        // The user's own connect or stop ends the attempts; so does a stream that plays again.
        if (!player_.ReconnectPending() || player_.IsPlaying())
            return;
        if (attempting_) {
            retry_.start(secondMs_);
            return;
        }
        Attempt();
    });
}

int StreamWatchdog::RetryDelaySeconds(int attempt) {
    static constexpr std::array<int, 7> kDelays = {0, 1, 2, 4, 8, 15, 30};
    return kDelays[size_t(std::clamp(attempt, 0, int(kDelays.size()) - 1))];
}

void StreamWatchdog::Tick() {
    if (player_.IsPlaying()) {
        player_.UpdateSongTitle(player_.StationCode());
        return;
    }
    if (!attempting_)
        ReconnectIfDropped();
}

void StreamWatchdog::ReconnectIfDropped() {
    const audio::StreamHandle dropped = player_.Current();
    if (player_.IsPlaying() || !player_.IsConnected() || dropped == handled_)
        return;
    handled_ = dropped;
    retry_.stop();
    attempt_ = 0;
    // Taken before the attempt ends the recording: what its file holds at the end.
    resume_ = recorder_.IsRecording();
    tail_ = resume_ ? recorder_.RecordingTail() : audio::AudioTail();
    Attempt();
}

void StreamWatchdog::Attempt() {
    attempting_ = true;
    player_.Reconnect(attempt_ > 0);
    ++attempt_;
}

void StreamWatchdog::AttemptEnded() {
    // The attempt's end, or that of a connect or stop that overtook it.
    if (!attempting_ || player_.Busy())
        return;
    attempting_ = false;
    const bool connected = player_.IsConnected();
    Q_EMIT reconnected(connected);
    if (connected) {
        AfterReconnect();
    } else if (player_.ReconnectPending()) {
        retry_.start(RetryDelaySeconds(attempt_) * secondMs_);
    } else {
        tail_ = {};
    }
}

void StreamWatchdog::AfterReconnect() {
    const audio::StreamHandle stream = player_.Current();
    if (resume_) {
        recorder_.ResumeRecording({.after = tail_});
    } else if (options_.LoopRecording()) {
        QTimer::singleShot(kRecordAgainAfterMs * secondMs_ / 1000, Qt::PreciseTimer, this, [this, stream] {
            // Unless the user changed something meanwhile: the reconnect cleared the wish.
            if (player_.Current() == stream && player_.IsConnected())
                recorder_.StartRecording();
        });
    }
    resume_ = false;
    tail_ = {};
}

}  // namespace wavelot
