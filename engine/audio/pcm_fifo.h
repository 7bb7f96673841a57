#pragma once
// Decoded sound (interleaved stereo float at the output rate) between the decoder thread
// (Push) and the output thread (Pop). Small on purpose: the network ring holds the buffer, this
// only smooths the hand-over, so volume and spectrum follow what is heard. Guarded by its mutex.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace wavelot::audio {

class PcmFifo {
public:
    explicit PcmFifo(size_t capacityFrames) : capacity_(capacityFrames) {}
    // Blocks while full; false after Abort.
    bool Push(const float* frames, size_t count);
    // Waits at most waitMs for data; returns frames copied (up to max).
    size_t Pop(float* out, size_t max, int waitMs);
    void SetEnd();
    void Abort();
    bool EndedAndEmpty() const;
    size_t Frames() const;

private:
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<float> samples_;
    size_t capacity_;
    bool end_ = false;
    bool abort_ = false;
};

}  // namespace wavelot::audio
