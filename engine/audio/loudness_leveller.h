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

#include <QByteArray>

#include <cstddef>
#include <memory>

namespace wavelot::audio {

class StationLoudness;

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

private:
    bool Ready();
    void Follow(size_t count);

    const int rate_;
    const QByteArray station_;
    StationLoudness& table_;
    struct Meter;
    std::unique_ptr<Meter> meter_;  // made when first needed
    bool on_ = false;               // the switch as the block being processed saw it
    double gainDb_ = 0;             // the level the gain moves towards the target
    double limit_ = 1;              // what the peak limit leaves of it (linear, <= 1)
    float applied_ = 1;             // the gain the last block ended with
    float blockPeak_ = 0;           // true peak of the block measured last
    size_t measured_ = 0;           // frames measured while on
    size_t sinceKept_ = 0;          // frames levelled since the gain was handed back
};

}  // namespace wavelot::audio
