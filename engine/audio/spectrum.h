#pragma once
// The sound last played, kept as a mono snapshot for spectrum requests: the output thread
// appends, any thread computes an FFT from a copy. Guarded by its own mutex.

#include <cstddef>
#include <mutex>
#include <vector>

namespace wavelot::audio {

class SpectrumSnapshot {
public:
    static constexpr size_t kHistory = 8192;
    SpectrumSnapshot() : ring_(kHistory, 0.0f) {}
    // Interleaved stereo frames; stored as (l + r) / 2.
    void Append(const float* frames, size_t count);
    // The last n mono samples, oldest first (zeros before anything played).
    std::vector<float> Last(size_t n) const;

private:
    mutable std::mutex mu_;
    std::vector<float> ring_;
    size_t pos_ = 0;
};

// n/2 magnitudes of the Hann-windowed samples (n a power of two, 256 to 8192), scaled so that a
// full-scale sine on a bin centre gives 1.0. False when n is not supported.
bool MagnitudeSpectrum(const std::vector<float>& samples, float* out);

}  // namespace wavelot::audio
