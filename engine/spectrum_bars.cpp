#include "engine/spectrum_bars.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"

namespace wavelot {

namespace {
constexpr SpectrumColour kGreen{0, 204, 0};
constexpr SpectrumColour kOrange{225, 168, 34};
constexpr SpectrumColour kRed{188, 34, 1};
constexpr float kClip = 0.2f;
}  // namespace

SpectrumBars::SpectrumBars(int highestBar) {
    SetHighestBar(highestBar);
}

void SpectrumBars::SetHighestBar(int n) {
    highestBar_ = std::clamp(n, 0, kMaxBars - 1);
}

SpectrumColour SpectrumBars::GradientColour(double range, double position) {
    const double half = range / 2.0;
    auto lerp = [](const SpectrumColour& a, const SpectrumColour& b, double t) {
        t = std::clamp(t, 0.0, 1.0);
        return SpectrumColour{RoundHalfEven(a.red + (b.red - a.red) * t),
                              RoundHalfEven(a.green + (b.green - a.green) * t),
                              RoundHalfEven(a.blue + (b.blue - a.blue) * t)};
    };
    if (half <= 0)
        return kGreen;
    if (position < half)
        return lerp(kGreen, kOrange, position / half);
    return lerp(kOrange, kRed, (position - half) / half);
}

void SpectrumBars::Tick(const float* fft, int binCount, int height) {
    const int n = highestBar_;
    const double H = height;
    if (first_) {
        for (int i = 0; i <= n; ++i)
            peak_[i] = H;
        first_ = false;
    }
    for (int i = 0; i <= n; ++i)
        level_[i] = std::max(0.0, level_[i] - kDecay);

    if (fft != nullptr && binCount >= kBinsUsed) {
        std::array<double, kBinsUsed> bins{};
        for (int b = 0; b < kBinsUsed; ++b) {
            const float v = std::isfinite(fft[b]) ? std::clamp(fft[b], 0.0f, kClip) : 0.0f;
            bins[b] = v / kClip;
        }
        // The running value carries from bar to bar on purpose: it smooths neighbouring bars.
        double v = 0;
        int b = 1;
        for (int i = 0; i <= n; ++i) {
            const int width = i < n * 3 / 5 ? 4 : 2;
            for (int k = 0; k <= width && b + k < kBinsUsed; ++k)
                v += bins[b + k];
            b += width + 1;
            v = v * (1 + (1 - std::cos(2 * M_PI * (i + 3) / 28)) / 2) / width;
            if (level_[i] < v)
                level_[i] = v;
            if (level_[i] > 1)
                level_[i] = 1;
        }
    }

    for (int i = 0; i <= n; ++i) {
        const int top = std::min(RoundHalfEven(H), RoundHalfEven(H - H * level_[i]));
        const int barTop = std::max(1, top - 1);
        barTop_[i] = barTop;
        if (barTop <= peak_[i]) {
            peak_[i] = barTop;
            hold_[i] = kPeakHold;
        }
        if (peak_[i] < 0)
            peak_[i] = 0;
        markY_[i] = peak_[i] - 1;
        if (--hold_[i] <= 0) {
            hold_[i] = 1;
            peak_[i] += 1;  // the mark sinks one pixel per tick once its hold is over
        }
    }
}

}  // namespace wavelot
