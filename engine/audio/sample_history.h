#pragma once
// The last seconds of a stream's decoded sound as its encoders get it: 16-bit stereo at the
// output rate, after the effects and before the volume. Frames are addressed by their index in
// the stream (0 = its first decoded frame), the unit in which tag events, the heard position and
// the beginning and end of every recording are given. Keeping this history lets a recording begin
// or end at a frame that was decoded a moment ago: where a title's metadata stood, or what the
// listener heard when the record command came.
//
// The decoder thread appends; encoder feeds and tail requests copy out. Guarded by its own mutex,
// held only while copying.

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace wavelot::audio {

class SampleHistory {
public:
    explicit SampleHistory(size_t capacityFrames);

    // Interleaved stereo float, converted to 16-bit (clamped) as the encoders want it.
    void Append(const float* frames, size_t count);
    // No frame will follow: the decoder has finished.
    void SetEnded();
    // Grows the history to hold at least that many frames; what it holds is kept.
    void Reserve(size_t capacityFrames);

    quint64 Start() const;  // the oldest frame still held
    quint64 End() const;    // one past the newest frame
    bool Ended() const;
    size_t CapacityFrames() const;

    // Copies up to max frames from frame `from` on; returns how many (0 when `from` is no longer
    // held or not yet decoded).
    size_t Read(quint64 from, size_t max, int16_t* out) const;
    // The mono mix of the frames [from, to) that are held, and the index of its first frame.
    struct Mono {
        quint64 first = 0;
        std::vector<int16_t> samples;
    };
    Mono MonoMix(quint64 from, quint64 to) const;

private:
    quint64 StartLocked() const;

    mutable std::mutex mu_;
    std::vector<int16_t> buf_;  // (mu_) frame i at (i % capacity) * 2; empty until the first frame
    size_t capacity_;           // (mu_) in frames
    quint64 first_ = 0;         // (mu_) the oldest frame held (a grown history holds no older one)
    quint64 end_ = 0;           // (mu_)
    bool ended_ = false;        // (mu_)
};

}  // namespace wavelot::audio
