#pragma once
// Brings one stream's loudness towards a common target, so stations sound alike loud. Used by
// the stream's decoder thread only, on interleaved stereo float at the output rate.
//
// Measure takes each block before the effects: the loudness (EBU R128, libebur128) is the
// station's own, so an equalizer setting is not levelled away. The gain follows the integrated
// loudness of what was played so far, which changes little within a song, and moves at most
// kSlewDbPerSecond, so it never pumps; it rests while the short-term loudness says the station
// is near silence. Apply then scales the same block after the effects and the recording's copy,
// limited per block so its true peak stays under kCeilingDbtp: the block is measured whole
// before it is scaled, so the limit needs no look-ahead delay. A limit eases off slowly.
//
// The gain starts at the one the station was last levelled with and is handed back to the
// table every few seconds. While levelling is off, blocks pass untouched and nothing is measured.
//
// Sound played apart from the live frames (the replay behind live, on the output thread) is
// levelled alike by a LevelFollower: each block, the leveller publishes its level in an atomic
// that the follower reads, and the follower limits the peaks of its own blocks the same way.

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <memory>

namespace wavelot::audio {

class StationLoudness;

// Scales blocks towards a level, lowered as far as a block's true peak needs to stay under
// LoudnessLeveller::kCeilingDbtp; the gain glides from one block's to the next sample by sample.
// One per thread that plays.
class PeakLimiter {
public:
    explicit PeakLimiter(int rate) : rate_(rate) {}
    // level <= 0: levelling is off, the gain glides back to 1 and nothing is limited. peak: the
    // block's true peak as measured (its own sample peak counts too).
    void Apply(float* frames, size_t count, double level, float peak);
    // The gain the next block starts from.
    void StartAt(float gain) { applied_ = gain; }

private:
    const int rate_;
    double limit_ = 1;   // what the peak limit leaves of the level (linear, <= 1)
    float applied_ = 1;  // the gain the last block ended with
};

class LoudnessLeveller {
public:
    static constexpr double kTargetLufs = -18.0;
    static constexpr double kMaxBoostDb = 12.0;
    static constexpr double kMaxCutDb = 12.0;
    static constexpr double kCeilingDbtp = -1.0;
    static constexpr double kSlewDbPerSecond = 0.6;

    LoudnessLeveller(int rate, QByteArray station, StationLoudness& table);
    ~LoudnessLeveller();
    LoudnessLeveller(const LoudnessLeveller&) = delete;
    LoudnessLeveller& operator=(const LoudnessLeveller&) = delete;

    void Measure(const float* frames, size_t count);
    void Apply(float* frames, size_t count);
    double GainDb() const { return gainDb_; }
    // The level the last block was levelled with (linear, before the peak limit); 0 while
    // levelling is off. Stored by Apply, read from any thread.
    std::shared_ptr<const std::atomic<float>> Published() const { return published_; }
    struct Meter;

private:
    bool Ready();
    void Follow(size_t count);

    const int rate_;
    const QByteArray station_;
    StationLoudness& table_;
    std::unique_ptr<Meter> meter_;  // made when first needed
    bool on_ = false;               // the switch as the block being processed saw it
    double gainDb_ = 0;             // the level the gain moves towards the target
    PeakLimiter limiter_;
    const std::shared_ptr<std::atomic<float>> published_;
    float blockPeak_ = 0;   // true peak of the block measured last
    size_t measured_ = 0;   // frames measured while on
    size_t sinceKept_ = 0;  // frames levelled since the gain was handed back
};

// Levels sound played on another thread than the leveller's with the level it publishes, from
// the first block on (a resume does not glide in from unity), peaks limited per block.
class LevelFollower {
public:
    LevelFollower(int rate, std::shared_ptr<const std::atomic<float>> level);
    ~LevelFollower();
    LevelFollower(const LevelFollower&) = delete;
    LevelFollower& operator=(const LevelFollower&) = delete;

    void Apply(float* frames, size_t count);

private:
    const int rate_;
    const std::shared_ptr<const std::atomic<float>> level_;
    std::unique_ptr<LoudnessLeveller::Meter> meter_;  // true peak only; made when first needed
    PeakLimiter limiter_;
    bool started_ = false;
};

}  // namespace wavelot::audio
