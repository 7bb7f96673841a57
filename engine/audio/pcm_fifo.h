#pragma once
// Decoded sound (interleaved stereo float at the output rate) between the decoder thread
// (Push) and the output thread (Pop). Small on purpose: the network ring holds the buffer, this
// only smooths the hand-over, so volume and spectrum follow what is heard. Guarded by its mutex.
//
// A full FIFO lets the decoder sleep until half of it was played, so the decoder wakes a few
// times a second to decode a batch rather than once per block the output takes; each side is
// woken only while it waits.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace wavelot::audio {

class PcmFifo {
public:
    explicit PcmFifo(size_t capacityFrames);
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
    std::condition_variable roomCv_;  // the decoder waits here
    std::condition_variable dataCv_;  // the output waits here
    std::vector<float> buf_;          // a ring of capacity frames
    size_t head_ = 0;                 // frame index of the oldest frame
    size_t frames_ = 0;
    bool pusherWaits_ = false;
    bool popperWaits_ = false;
    bool end_ = false;
    bool abort_ = false;
};

}  // namespace wavelot::audio
