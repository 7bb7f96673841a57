#include "engine/audio/sample_history.h"

#include <algorithm>
#include <cmath>

namespace wavelot::audio {

SampleHistory::SampleHistory(size_t capacityFrames) : capacity_(std::max<size_t>(capacityFrames, 1)) {}

void SampleHistory::Append(const float* frames, size_t count) {
    std::lock_guard lock(mu_);
    if (buf_.empty())
        buf_.resize(capacity_ * 2);  // only a stream that decodes holds sound
    for (size_t i = 0; i < count; ++i) {
        const size_t at = size_t((end_ + i) % capacity_) * 2;
        for (size_t c = 0; c < 2; ++c) {
            const float v = std::clamp(frames[2 * i + c], -1.0f, 1.0f);
            buf_[at + c] = static_cast<int16_t>(std::lrint(v * 32767.0f));
        }
    }
    end_ += count;
    first_ = std::max(first_, end_ > capacity_ ? end_ - capacity_ : 0);
}

void SampleHistory::SetEnded() {
    std::lock_guard lock(mu_);
    ended_ = true;
}

void SampleHistory::Reserve(size_t capacityFrames) {
    std::lock_guard lock(mu_);
    if (capacityFrames <= capacity_)
        return;
    if (buf_.empty()) {
        capacity_ = capacityFrames;
        return;
    }
    std::vector<int16_t> grown(capacityFrames * 2);
    for (quint64 i = StartLocked(); i < end_; ++i) {
        const size_t from = size_t(i % capacity_) * 2, to = size_t(i % capacityFrames) * 2;
        grown[to] = buf_[from];
        grown[to + 1] = buf_[from + 1];
    }
    buf_.swap(grown);
    capacity_ = capacityFrames;
}

quint64 SampleHistory::StartLocked() const {
    return first_;
}

quint64 SampleHistory::Start() const {
    std::lock_guard lock(mu_);
    return StartLocked();
}

quint64 SampleHistory::End() const {
    std::lock_guard lock(mu_);
    return end_;
}

bool SampleHistory::Ended() const {
    std::lock_guard lock(mu_);
    return ended_;
}

size_t SampleHistory::CapacityFrames() const {
    std::lock_guard lock(mu_);
    return capacity_;
}

size_t SampleHistory::Read(quint64 from, size_t max, int16_t* out) const {
    std::lock_guard lock(mu_);
    if (from < StartLocked() || from >= end_)
        return 0;
    const size_t n = size_t(std::min<quint64>(max, end_ - from));
    for (size_t i = 0; i < n; ++i) {
        const size_t at = size_t((from + i) % capacity_) * 2;
        out[2 * i] = buf_[at];
        out[2 * i + 1] = buf_[at + 1];
    }
    return n;
}

SampleHistory::Mono SampleHistory::MonoMix(quint64 from, quint64 to) const {
    std::lock_guard lock(mu_);
    Mono out;
    out.first = std::max(from, StartLocked());
    const quint64 last = std::min(to, end_);
    if (last <= out.first)
        return out;
    out.samples.resize(size_t(last - out.first));
    for (size_t i = 0; i < out.samples.size(); ++i) {
        const size_t at = size_t((out.first + i) % capacity_) * 2;
        out.samples[i] = static_cast<int16_t>((int(buf_[at]) + int(buf_[at + 1])) / 2);
    }
    return out;
}

}  // namespace wavelot::audio
