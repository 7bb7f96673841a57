#include "engine/audio/sound_output.h"

#include <chrono>
#include <thread>

namespace wavelot::audio {

namespace {

// Behaves like a device with a 100 ms buffer: Write returns at once until 100 ms are queued,
// then as fast as real time drains them.
class SilentOutput final : public SoundOutput {
public:
    explicit SilentOutput(int rate) : rate_(rate) {}
    bool Write(const float*, size_t count) override {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (frames_ == 0 || now > start_ + FramesToTime(frames_) + milliseconds(500)) {
            // First write, or the stream was starved or paused: the device clock restarts.
            start_ = now;
            frames_ = 0;
        }
        frames_ += count;
        const auto due = start_ + FramesToTime(frames_) - milliseconds(100);
        if (due > now)
            std::this_thread::sleep_until(due);
        return true;
    }
    size_t LatencyFrames() override {
        const auto played = std::chrono::steady_clock::now() - start_;
        const auto playedFrames = quint64(std::chrono::duration<double>(played).count() * rate_);
        return frames_ > playedFrames ? size_t(frames_ - playedFrames) : 0;
    }

private:
    std::chrono::steady_clock::duration FramesToTime(quint64 frames) const {
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(double(frames) / rate_));
    }
    int rate_;
    std::chrono::steady_clock::time_point start_;
    quint64 frames_ = 0;
};

}  // namespace

std::unique_ptr<SoundOutput> OpenSilentOutput(int rate) {
    return std::make_unique<SilentOutput>(rate);
}

}  // namespace wavelot::audio
