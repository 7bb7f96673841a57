#pragma once
// The volume attribute with its glides, in output frames. Owned by a stream and guarded by the
// stream's state mutex; Apply runs on the output thread, the setters on the caller's.

#include <cstddef>
#include <cstdint>

namespace wavelot::audio {

class VolumeRamp {
public:
    void Set(float value);
    // Glides from the present value to target over frames output frames.
    void Slide(float target, uint64_t frames);
    float Value() const { return value_; }
    bool Sliding() const { return left_ > 0; }
    // Scales count interleaved stereo frames, gliding sample by sample, and advances the glide.
    void Apply(float* frames, size_t count);

private:
    float value_ = 1.0f;
    float target_ = 1.0f;
    float step_ = 0.0f;  // change per frame while gliding
    uint64_t left_ = 0;  // frames of glide left
};

}  // namespace wavelot::audio
