#include "engine/audio/volume_ramp.h"

#include <algorithm>

namespace wavelot::audio {

namespace {
float Clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}
}  // namespace

void VolumeRamp::Set(float value) {
    value_ = target_ = Clamp01(value);
    left_ = 0;
    step_ = 0;
}

void VolumeRamp::Slide(float target, uint64_t frames) {
    target_ = Clamp01(target);
    if (frames == 0) {
        Set(target_);
        return;
    }
    left_ = frames;
    step_ = (target_ - value_) / float(frames);
}

void VolumeRamp::Apply(float* frames, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (left_ > 0) {
            if (--left_ == 0)
                value_ = target_;
            else
                value_ += step_;
        }
        frames[2 * i] *= value_;
        frames[2 * i + 1] *= value_;
    }
}

}  // namespace wavelot::audio
