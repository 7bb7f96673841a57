#pragma once
// The parametric-equalizer bands of one stream as a chain of peaking biquad filters (the
// "cookbook" peaking filter with an octave bandwidth, the filter libavfilter's "equalizer"
// computes). Owned and used by the stream's decoder thread only; the bands come in as a copy.
// Our own few lines rather than a libavfilter graph: that library and the dozens it pulls in
// cost every start of the program tens of milliseconds and megabytes of memory, and a graph
// wanted a frame allocation per block.

#include "engine/audio/audio_library.h"

#include <array>
#include <cstddef>
#include <vector>

namespace wavelot::audio {

struct EqBand {
    FxHandle id = 0;
    int priority = 0;
    DX8ParamEq params;
};

// Centre, bandwidth and gain brought into the ranges the filter and its users expect.
DX8ParamEq ClampParamEq(const DX8ParamEq& p, int rate);

class EqualizerChain {
public:
    explicit EqualizerChain(int rate) : rate_(rate) {}

    // bands in the stream's order (higher priority first). Changed parameters of the same bands
    // keep each filter's state, so a gain change does not click; a different set starts afresh.
    void Configure(std::vector<EqBand> bands);
    // In place, interleaved stereo float at the output rate; a no-op without bands, and a band
    // at 0 dB passes the sound untouched.
    void Process(float* frames, size_t count);

private:
    struct Filter {
        FxHandle id = 0;
        bool flat = true;
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // normalised by a0
        std::array<double, 2> x1{}, x2{}, y1{}, y2{};   // per channel
    };
    void SetCoefficients(Filter& f, const DX8ParamEq& p) const;

    int rate_;
    std::vector<Filter> filters_;
};

}  // namespace wavelot::audio
