#include "engine/audio/sound_output.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>

#include <chrono>

namespace wavelot::audio {

namespace {

class PulseOutput final : public SoundOutput {
public:
    PulseOutput(pa_simple* s, int rate) : s_(s), rate_(uint64_t(rate)) {}
    ~PulseOutput() override { pa_simple_free(s_); }
    bool Write(const float* frames, size_t count) override {
        int err = 0;
        return pa_simple_write(s_, frames, count * 2 * sizeof(float), &err) >= 0;
    }
    size_t LatencyFrames() override {
        int err = 0;
        const pa_usec_t us = pa_simple_get_latency(s_, &err);
        return us == pa_usec_t(-1) ? 0 : size_t(us * rate_ / 1000000);
    }

private:
    pa_simple* s_;
    uint64_t rate_;
};

}  // namespace

bool SoundServerAnswers() {
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return false;
    pa_context* ctx = pa_context_new(pa_mainloop_get_api(loop), "Wavelot");
    bool ready = false;
    if (ctx && pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < deadline) {
            pa_context_state_t st = pa_context_get_state(ctx);
            if (st == PA_CONTEXT_READY) {
                ready = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(st))
                break;
            if (pa_mainloop_prepare(loop, 20000) < 0)
                break;
            pa_mainloop_poll(loop);
            pa_mainloop_dispatch(loop);
        }
        pa_context_disconnect(ctx);
    }
    if (ctx)
        pa_context_unref(ctx);
    pa_mainloop_free(loop);
    return ready;
}

std::unique_ptr<SoundOutput> OpenPulseOutput(int rate, const QByteArray& streamName) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32LE;
    spec.rate = uint32_t(rate);
    spec.channels = 2;
    // About 100 ms in the server: low enough that the first sound and volume glides follow at
    // once, high enough not to underrun on a busy machine.
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(rate / 10 * 2 * sizeof(float));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    int err = 0;
    pa_simple* s = pa_simple_new(nullptr, "Wavelot", PA_STREAM_PLAYBACK, nullptr, streamName.constData(),
                                 &spec, nullptr, &attr, &err);
    if (!s)
        return nullptr;
    return std::make_unique<PulseOutput>(s, rate);
}

}  // namespace wavelot::audio
