#include "engine/audio/pcm_fifo.h"

#include <algorithm>
#include <chrono>

namespace wavelot::audio {

PcmFifo::PcmFifo(size_t capacityFrames) : buf_(std::max<size_t>(capacityFrames, 2) * 2) {}

bool PcmFifo::Push(const float* frames, size_t count) {
    const size_t capacity = buf_.size() / 2;
    size_t done = 0;
    while (done < count) {
        bool wake = false;
        {
            std::unique_lock lock(mu_);
            if (frames_ == capacity && !abort_) {
                pusherWaits_ = true;
                roomCv_.wait(lock, [&] { return abort_ || frames_ <= capacity / 2; });
                pusherWaits_ = false;
            }
            if (abort_)
                return false;
            const size_t n = std::min(capacity - frames_, count - done);
            const size_t tail = (head_ + frames_) % capacity;
            const size_t first = std::min(n, capacity - tail);
            std::copy_n(frames + done * 2, first * 2, buf_.begin() + std::ptrdiff_t(tail * 2));
            std::copy_n(frames + (done + first) * 2, (n - first) * 2, buf_.begin());
            frames_ += n;
            done += n;
            wake = popperWaits_;
        }
        if (wake)
            dataCv_.notify_one();
    }
    return true;
}

size_t PcmFifo::Pop(float* out, size_t max, int waitMs) {
    const size_t capacity = buf_.size() / 2;
    bool wake = false;
    size_t n = 0;
    {
        std::unique_lock lock(mu_);
        if (frames_ == 0 && !abort_ && !end_) {
            popperWaits_ = true;
            dataCv_.wait_for(lock, std::chrono::milliseconds(waitMs),
                             [&] { return abort_ || end_ || frames_ > 0; });
            popperWaits_ = false;
        }
        n = std::min(max, frames_);
        const size_t first = std::min(n, capacity - head_);
        std::copy_n(buf_.begin() + std::ptrdiff_t(head_ * 2), first * 2, out);
        std::copy_n(buf_.begin(), (n - first) * 2, out + first * 2);
        head_ = (head_ + n) % capacity;
        frames_ -= n;
        wake = pusherWaits_ && frames_ <= capacity / 2;
    }
    if (wake)
        roomCv_.notify_one();
    return n;
}

void PcmFifo::SetEnd() {
    {
        std::lock_guard lock(mu_);
        end_ = true;
    }
    dataCv_.notify_all();
}

void PcmFifo::Abort() {
    {
        std::lock_guard lock(mu_);
        abort_ = true;
    }
    roomCv_.notify_all();
    dataCv_.notify_all();
}

bool PcmFifo::EndedAndEmpty() const {
    std::lock_guard lock(mu_);
    return end_ && frames_ == 0;
}

size_t PcmFifo::Frames() const {
    std::lock_guard lock(mu_);
    return frames_;
}

}  // namespace wavelot::audio
