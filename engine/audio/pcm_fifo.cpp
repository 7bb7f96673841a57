#include "engine/audio/pcm_fifo.h"

#include <algorithm>
#include <chrono>

namespace wavelot::audio {

bool PcmFifo::Push(const float* frames, size_t count) {
    size_t done = 0;
    while (done < count) {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return abort_ || samples_.size() / 2 < capacity_; });
        if (abort_)
            return false;
        size_t room = capacity_ - samples_.size() / 2;
        size_t n = std::min(room, count - done);
        samples_.insert(samples_.end(), frames + done * 2, frames + (done + n) * 2);
        done += n;
        lock.unlock();
        cv_.notify_all();
    }
    return true;
}

size_t PcmFifo::Pop(float* out, size_t max, int waitMs) {
    size_t n = 0;
    {
        std::unique_lock lock(mu_);
        cv_.wait_for(lock, std::chrono::milliseconds(waitMs),
                     [&] { return abort_ || end_ || !samples_.empty(); });
        n = std::min(max, samples_.size() / 2);
        std::copy_n(samples_.begin(), n * 2, out);
        samples_.erase(samples_.begin(), samples_.begin() + std::ptrdiff_t(n * 2));
    }
    if (n)
        cv_.notify_all();
    return n;
}

void PcmFifo::SetEnd() {
    {
        std::lock_guard lock(mu_);
        end_ = true;
    }
    cv_.notify_all();
}

void PcmFifo::Abort() {
    {
        std::lock_guard lock(mu_);
        abort_ = true;
    }
    cv_.notify_all();
}

bool PcmFifo::EndedAndEmpty() const {
    std::lock_guard lock(mu_);
    return end_ && samples_.empty();
}

size_t PcmFifo::Frames() const {
    std::lock_guard lock(mu_);
    return samples_.size() / 2;
}

}  // namespace wavelot::audio
