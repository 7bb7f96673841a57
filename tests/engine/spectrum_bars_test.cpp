// The status bar's spectrum arithmetic, tick by tick: decay, peak holds, the running value
// from bar to bar and the colour gradient.

#include "engine/spectrum_bars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace wavelot {
namespace {

TEST(Spectrum, SilenceSinksBarsWithinFifteenTicksAndPeaksOnePixelPerTick) {
    SpectrumBars bars(40);
    std::vector<float> loud(4097, 1.0f);
    std::vector<float> silent(4097, 0.0f);
    const int H = 40;
    bars.Tick(loud.data(), 2048, H);
    EXPECT_DOUBLE_EQ(bars.Level(0), 1.0);
    EXPECT_EQ(bars.BarTop(0), 1);
    EXPECT_EQ(bars.Peak(0), 1);
    for (int t = 0; t < 15; ++t)
        bars.Tick(silent.data(), 2048, H);
    for (int i = 0; i <= 40; ++i)
        EXPECT_DOUBLE_EQ(bars.Level(i), 0.0) << "bar " << i;
    // Pushed up at tick 1 (hold 10, counted down from that tick on): it stays through tick 9
    // and sinks one pixel on each of ticks 10 to 16.
    EXPECT_EQ(bars.Peak(0), 1 + 7);
    bars.Tick(nullptr, 0, H);
    EXPECT_EQ(bars.Peak(0), 1 + 8) << "unreadable data still lets the marks sink";
}

TEST(Spectrum, RunningValueCarriesAndGradientStops) {
    SpectrumBars bars(40);
    std::vector<float> fft(4097, 0.0f);
    for (int b = 1; b <= 5; ++b)
        fft[b] = 0.1f;  // bar 0 only: 5 bins of 0.5 after normalising
    bars.Tick(fft.data(), 2048, 50);
    // v = 2.5 * (1 + (1 - cos(2*pi*3/28)) / 2) / 4
    const double expected0 = 2.5 * (1 + (1 - std::cos(2 * M_PI * 3 / 28)) / 2) / 4;
    EXPECT_NEAR(bars.Level(0), std::min(1.0, expected0), 1e-9);
    const double expected1 = expected0 * (1 + (1 - std::cos(2 * M_PI * 4 / 28)) / 2) / 4;
    EXPECT_NEAR(bars.Level(1), expected1, 1e-9) << "the value is carried to the next bar";
    EXPECT_EQ(SpectrumBars::GradientColour(1, 0), (SpectrumColour{0, 204, 0}));
    EXPECT_EQ(SpectrumBars::GradientColour(1, 0.5), (SpectrumColour{225, 168, 34}));
    EXPECT_EQ(SpectrumBars::GradientColour(1, 1), (SpectrumColour{188, 34, 1}));
    EXPECT_EQ(SpectrumBars::GradientColour(1, 0.25), (SpectrumColour{112, 186, 17})) << "half way to orange";
}

}  // namespace
}  // namespace wavelot
