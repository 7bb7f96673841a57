#pragma once
// The falling-bar spectrum of the status bar, as state that a timer tick advances from FFT
// magnitudes: bar levels, bar tops and falling peak marks in pixels of the drawing height. The
// status display paints what the last tick computed; nothing here needs a window.

#include <array>

namespace wavelot {

struct SpectrumColour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const SpectrumColour&) const = default;
};

class SpectrumBars {
public:
    static constexpr int kMaxBars = 51;     // bar indexes 0..50
    static constexpr int kFftBins = 4097;   // buffer the FFT request fills (2048 used)
    static constexpr int kBinsUsed = 251;   // bins 0..250 feed the bars
    static constexpr double kDecay = 0.07;  // fraction of the height a bar falls per tick
    static constexpr int kPeakHold = 10;

    // highestBar: 50 on 120-dpi screens, else 40.
    explicit SpectrumBars(int highestBar = 40);

    int HighestBar() const { return highestBar_; }
    void SetHighestBar(int n);

    // One tick while a stream plays. fft holds at least kBinsUsed magnitudes (bin 0 first), or is
    // null when the data could not be read (the bars still decay). height: the drawing height.
    void Tick(const float* fft, int binCount, int height);

    double Level(int i) const { return level_[i]; }
    double Peak(int i) const { return peak_[i]; }
    int Hold(int i) const { return hold_[i]; }
    int BarTop(int i) const { return barTop_[i]; }
    // Where the last tick put bar i's peak mark (pixels from the top).
    double MarkY(int i) const { return markY_[i]; }

    // Colour at position in 0..range through green, orange, red.
    static SpectrumColour GradientColour(double range, double position);

private:
    int highestBar_;
    bool first_ = true;
    std::array<double, kMaxBars> level_{};
    std::array<double, kMaxBars> peak_{};
    std::array<int, kMaxBars> hold_{};
    std::array<int, kMaxBars> barTop_{};
    std::array<double, kMaxBars> markY_{};  // where this tick drew the peak mark
};

}  // namespace wavelot
