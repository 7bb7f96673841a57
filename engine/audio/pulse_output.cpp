#include "engine/audio/sound_output.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <chrono>

namespace wavelot::audio {

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kFrameBytes = 2 * sizeof(float);

// The buffer asked of the server: about 150 ms in all, refilled in 50 ms steps. The fades and
// volume changes are applied before the buffer, so they are heard this much later; the step
// decides how often the server asks for more (20 times a second; its default step of 20 ms
// would ask 50 times) and leaves the server's own sink buffer (150 - 2 × 50) / 2 = 25 ms.
constexpr int kTargetMs = 150;
constexpr int kRefillMs = 50;
// How long a connect, or a write that the server takes nothing of, may wait before the output
// counts as failed.
constexpr auto kConnectLimit = std::chrono::seconds(2);
constexpr auto kStallLimit = std::chrono::seconds(3);

// Runs the loop until done() or the deadline; false on a loop failure or at the deadline.
template <class Done>
bool IterateUntil(pa_mainloop* loop, Clock::time_point deadline, Done done) {
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        if (pa_mainloop_prepare(loop, int(std::min<int64_t>(left.count(), 200000))) < 0 ||
            pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

// A connected context on a loop of its own, freed in reverse order.
class Connection {
public:
    Connection() {
        loop_ = pa_mainloop_new();
        if (loop_)
            ctx_ = pa_context_new(pa_mainloop_get_api(loop_), "Wavelot");
    }
    ~Connection() {
        if (ctx_) {
            pa_context_disconnect(ctx_);
            pa_context_unref(ctx_);
        }
        if (loop_)
            pa_mainloop_free(loop_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Never lets libpulse start a server of its own.
    bool Connect() {
        if (!ctx_ || pa_context_connect(ctx_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        bool ready = false;
        IterateUntil(loop_, Clock::now() + kConnectLimit, [&] {
            const pa_context_state_t st = pa_context_get_state(ctx_);
            ready = st == PA_CONTEXT_READY;
            return ready || !PA_CONTEXT_IS_GOOD(st);
        });
        return ready;
    }
    pa_mainloop* Loop() const { return loop_; }
    pa_context* Context() const { return ctx_; }

private:
    pa_mainloop* loop_ = nullptr;
    pa_context* ctx_ = nullptr;
};

// The stream runs on a loop the output thread drives itself: a write that finds the server's
// buffer full waits in that loop's poll until the server asks for more, so the output thread
// wakes once per refill and no second thread hands the request on.
class PulseOutput final : public SoundOutput {
public:
    PulseOutput(std::unique_ptr<Connection> conn, pa_stream* stream, int rate)
        : conn_(std::move(conn)), stream_(stream), rate_(uint64_t(rate)) {}
    ~PulseOutput() override {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    bool Write(const float* frames, size_t count) override {
        const auto* p = reinterpret_cast<const uint8_t*>(frames);
        size_t left = count * kFrameBytes;
        while (left > 0) {
            if (pa_stream_get_state(stream_) != PA_STREAM_READY)
                return false;
            size_t room = pa_stream_writable_size(stream_);
            if (room == size_t(-1))
                return false;
            room -= room % kFrameBytes;
            if (room == 0) {
                // Sleeps in the loop's poll until the server asks for more.
                if (!IterateUntil(conn_->Loop(), Clock::now() + kStallLimit, [&] {
                        return pa_stream_writable_size(stream_) >= kFrameBytes ||
                               pa_stream_get_state(stream_) != PA_STREAM_READY;
                    }))
                    return false;
                continue;
            }
            const size_t n = std::min(room, left);
            if (pa_stream_write(stream_, p, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return false;
            p += n;
            left -= n;
        }
        // libpulse sends what was written from the loop: send it now, not at the next wait.
        return pa_mainloop_iterate(conn_->Loop(), 0, nullptr) >= 0;
    }
    size_t LatencyFrames() override {
        // Interpolated from the server's last timing update: no round trip.
        pa_usec_t us = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream_, &us, &negative) < 0 || negative)
            return 0;
        return size_t(us * rate_ / 1000000);
    }

private:
    std::unique_ptr<Connection> conn_;
    pa_stream* stream_;
    uint64_t rate_;
};

}  // namespace

bool SoundServerAnswers() {
    Connection conn;
    return conn.Connect();
}

std::unique_ptr<SoundOutput> OpenPulseOutput(int rate, const QByteArray& streamName) {
    auto conn = std::make_unique<Connection>();
    if (!conn->Connect())
        return nullptr;
    pa_sample_spec format{};
    format.format = PA_SAMPLE_FLOAT32LE;
    format.rate = uint32_t(rate);
    format.channels = 2;
    pa_stream* stream = pa_stream_new(conn->Context(), streamName.constData(), &format, nullptr);
    if (!stream)
        return nullptr;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(size_t(rate) * kTargetMs / 1000 * kFrameBytes);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(size_t(rate) * kRefillMs / 1000 * kFrameBytes);
    attr.fragsize = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                         PA_STREAM_ADJUST_LATENCY);
    bool ready = false;
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0) {
        IterateUntil(conn->Loop(), Clock::now() + kConnectLimit, [&] {
            const pa_stream_state_t st = pa_stream_get_state(stream);
            ready = st == PA_STREAM_READY;
            return ready || !PA_STREAM_IS_GOOD(st);
        });
    }
    if (!ready) {
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        return nullptr;
    }
    return std::make_unique<PulseOutput>(std::move(conn), stream, rate);
}

}  // namespace wavelot::audio
