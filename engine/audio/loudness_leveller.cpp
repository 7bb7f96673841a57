#include "engine/audio/loudness_leveller.h"

#include "engine/audio/station_loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace wavelot::audio {

namespace {
// The integrated loudness of the first seconds says too little to move the gain on.
constexpr double kWarmUpSeconds = 3.0;
// Quieter than this (short-term) is a pause between items, not the station's level.
constexpr double kSilenceLufs = -50.0;
// How often the gain is handed back to the table while levelling.
constexpr double kKeepSeconds = 5.0;
// A limit recovers by this factor per second (20 dB a second): a click costs a moment, not the
// level around it.
constexpr double kLimitRelease = 10.0;

double Linear(double db) {
    return std::pow(10.0, db / 20.0);
}
}  // namespace

struct LoudnessLeveller::Meter {
    explicit Meter(ebur128_state* s) : st(s) {}
    ~Meter() { ebur128_destroy(&st); }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
    ebur128_state* st;
};

namespace {
// The larger true peak of the two channels in the block added last.
float BlockTruePeak(ebur128_state* st) {
    float peak = 0;
    for (unsigned c = 0; c < 2; ++c) {
        double p = 0;
        if (ebur128_prev_true_peak(st, c, &p) == EBUR128_SUCCESS)
            peak = std::max(peak, float(p));
    }
    return peak;
}
}  // namespace

LoudnessLeveller::LoudnessLeveller(int rate, QByteArray station, StationLoudness& table)
    : rate_(rate),
      station_(std::move(station)),
      table_(table),
      limiter_(rate),
      published_(std::make_shared<std::atomic<float>>(0.0f)) {
    if (const std::optional<double> kept = table_.Find(station_))
        gainDb_ = *kept;
}

LoudnessLeveller::~LoudnessLeveller() {
    if (meter_ && measured_ > size_t(kWarmUpSeconds * rate_))
        table_.Keep(station_, gainDb_);
}

bool LoudnessLeveller::Ready() {
    if (!meter_) {
        ebur128_state* st =
            ebur128_init(2, static_cast<unsigned long>(rate_),
                         EBUR128_MODE_S | EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
        if (!st)
            return false;
        meter_ = std::make_unique<Meter>(st);
    }
    return true;
}

void LoudnessLeveller::Measure(const float* frames, size_t count) {
    on_ = table_.Enabled() && count > 0 && Ready();
    if (!on_)
        return;
    blockPeak_ = 0;
    if (ebur128_add_frames_float(meter_->st, frames, count) != EBUR128_SUCCESS)
        return;
    blockPeak_ = BlockTruePeak(meter_->st);
    measured_ += count;
    Follow(count);
}

void LoudnessLeveller::Follow(size_t count) {
    if (measured_ < size_t(kWarmUpSeconds * rate_))
        return;
    double shortTerm = -HUGE_VAL, integrated = -HUGE_VAL;
    if (ebur128_loudness_shortterm(meter_->st, &shortTerm) != EBUR128_SUCCESS ||
        ebur128_loudness_global(meter_->st, &integrated) != EBUR128_SUCCESS || !std::isfinite(integrated) ||
        !(shortTerm > kSilenceLufs))
        return;
    const double want = std::clamp(kTargetLufs - integrated, -kMaxCutDb, kMaxBoostDb);
    const double step = kSlewDbPerSecond * double(count) / rate_;
    gainDb_ += std::clamp(want - gainDb_, -step, step);
    sinceKept_ += count;
    if (sinceKept_ >= size_t(kKeepSeconds * rate_)) {
        sinceKept_ = 0;
        table_.Keep(station_, gainDb_);
    }
}

void LoudnessLeveller::Apply(float* frames, size_t count) {
    if (count == 0)
        return;
    const double level = on_ ? Linear(gainDb_) : 0.0;
    published_->store(float(level), std::memory_order_relaxed);
    limiter_.Apply(frames, count, level, blockPeak_);
}

void PeakLimiter::Apply(float* frames, size_t count, double level, float peak) {
    if (count == 0)
        return;
    float target = 1;
    if (level > 0) {
        // The effects may have raised the peaks the meter saw before them.
        for (size_t i = 0; i < count * 2; ++i)
            peak = std::max(peak, std::fabs(frames[i]));
        limit_ = std::min(1.0, limit_ * std::pow(kLimitRelease, double(count) / rate_));
        const double ceiling = Linear(LoudnessLeveller::kCeilingDbtp);
        if (peak > 0 && level * limit_ * peak > ceiling)
            limit_ = ceiling / (level * peak);
        target = float(level * limit_);
        // A block the last gain would push over the ceiling gets the lower gain from its start.
        if (peak > 0)
            applied_ = std::min(applied_, float(ceiling / peak));
    }
    if (applied_ == 1 && target == 1)
        return;
    // From the last block's gain to this one's, sample by sample, so a change never clicks.
    const float step = (target - applied_) / float(count);
    float g = applied_;
    for (size_t i = 0; i < count; ++i) {
        g += step;
        frames[2 * i] *= g;
        frames[2 * i + 1] *= g;
    }
    applied_ = target;
}

LevelFollower::LevelFollower(int rate, std::shared_ptr<const std::atomic<float>> level)
    : rate_(rate), level_(std::move(level)), limiter_(rate) {}

LevelFollower::~LevelFollower() = default;

void LevelFollower::Apply(float* frames, size_t count) {
    if (count == 0 || !level_)
        return;
    const double level = level_->load(std::memory_order_relaxed);
    float peak = 0;
    if (level > 0) {
        if (!meter_) {
            if (ebur128_state* st =
                    ebur128_init(2, static_cast<unsigned long>(rate_), EBUR128_MODE_TRUE_PEAK))
                meter_ = std::make_unique<LoudnessLeveller::Meter>(st);
        }
        if (meter_ && ebur128_add_frames_float(meter_->st, frames, count) == EBUR128_SUCCESS)
            peak = BlockTruePeak(meter_->st);
    }
    // The live sound was heard at this level a moment ago: the first block starts at it.
    if (!std::exchange(started_, true) && level > 0)
        limiter_.StartAt(float(level));
    limiter_.Apply(frames, count, level, peak);
}

}  // namespace wavelot::audio
