#include "engine/audio/equalizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace wavelot::audio {

DX8ParamEq ClampParamEq(const DX8ParamEq& p, int rate) {
    DX8ParamEq out;
    out.fCenter = std::clamp(p.fCenter, 20.0f, float(rate) * 0.45f);
    out.fBandwidth = std::clamp(p.fBandwidth, 1.0f, 36.0f);
    out.fGain = std::clamp(p.fGain, -15.0f, 15.0f);
    return out;
}

void EqualizerChain::SetCoefficients(Filter& f, const DX8ParamEq& p) const {
    const bool wasFlat = f.flat;
    f.flat = p.fGain == 0.0f;
    if (f.flat)
        return;
    if (wasFlat)  // what it held is from before it rested
        f.x1 = f.x2 = f.y1 = f.y2 = {};
    const double a = std::pow(10.0, double(p.fGain) / 40.0);
    const double w0 = 2.0 * std::numbers::pi * double(p.fCenter) / double(rate_);
    const double octaves = double(p.fBandwidth) / 12.0;  // the bandwidth is given in semitones
    const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / std::sin(w0));
    const double a0 = 1.0 + alpha / a;
    f.b0 = (1.0 + alpha * a) / a0;
    f.b1 = -2.0 * std::cos(w0) / a0;
    f.b2 = (1.0 - alpha * a) / a0;
    f.a1 = f.b1;
    f.a2 = (1.0 - alpha / a) / a0;
}

void EqualizerChain::Configure(std::vector<EqBand> bands) {
    bool sameSet = bands.size() == filters_.size();
    for (size_t i = 0; sameSet && i < bands.size(); ++i)
        sameSet = bands[i].id == filters_[i].id;
    if (!sameSet) {
        filters_.assign(bands.size(), Filter{});
        for (size_t i = 0; i < bands.size(); ++i)
            filters_[i].id = bands[i].id;
    }
    for (size_t i = 0; i < bands.size(); ++i)
        SetCoefficients(filters_[i], ClampParamEq(bands[i].params, rate_));
}

void EqualizerChain::Process(float* frames, size_t count) {
    for (Filter& f : filters_) {
        if (f.flat)
            continue;
        for (size_t c = 0; c < 2; ++c) {
            double x1 = f.x1[c], x2 = f.x2[c], y1 = f.y1[c], y2 = f.y2[c];
            for (size_t i = 0; i < count; ++i) {
                float& s = frames[2 * i + c];
                const double x = s;
                const double y = f.b0 * x + f.b1 * x1 + f.b2 * x2 - f.a1 * y1 - f.a2 * y2;
                x2 = x1;
                x1 = x;
                y2 = y1;
                y1 = y;
                s = float(y);
            }
            // A decaying tail would end in denormal numbers, each many times slower to compute.
            const auto flush = [](double v) { return std::fabs(v) < 1e-25 ? 0.0 : v; };
            f.x1[c] = flush(x1);
            f.x2[c] = flush(x2);
            f.y1[c] = flush(y1);
            f.y2[c] = flush(y2);
        }
    }
}

}  // namespace wavelot::audio
