#pragma once
// The parametric-equalizer bands of one stream as a chain of libavfilter "equalizer" filters.
// Owned and used by the stream's decoder thread only; the bands come in as a copy.

#include "engine/audio/audio_library.h"

#include <cstddef>
#include <vector>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

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
    ~EqualizerChain();
    EqualizerChain(const EqualizerChain&) = delete;
    EqualizerChain& operator=(const EqualizerChain&) = delete;

    // bands in the stream's order (higher priority first). A different set of bands rebuilds
    // the chain; changed parameters of the same bands are sent to the running filters, so a
    // gain change does not restart them.
    void Configure(std::vector<EqBand> bands);
    // In place, interleaved stereo float at the output rate; a no-op without bands.
    void Process(float* frames, size_t count);

private:
    bool Build();
    void Release();
    int rate_;
    std::vector<EqBand> bands_;
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* src_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    AVFrame* in_ = nullptr;
    AVFrame* out_ = nullptr;
    bool broken_ = false;  // the graph could not be built: pass sound through untouched
};

}  // namespace wavelot::audio
