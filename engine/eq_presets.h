#pragma once
// The equalizer's ten bands and its presets. Preset 1 turns the equalizer off; 2 to 12 set the
// ten band gains. Any other index means "none chosen".

#include <QString>

#include <array>
#include <optional>

namespace wavelot {

inline constexpr int kEqBandCount = 10;
inline constexpr std::array<float, kEqBandCount> kEqBandCentres = {31,   62,   125,  250,  500,
                                                                   1000, 2000, 4000, 8000, 16000};
// Every band is an octave-wide peak: 12 semitones.
inline constexpr float kEqBandwidth = 12.0f;

inline constexpr int kEqOff = 1;
inline constexpr int kEqFirstPreset = 1;
inline constexpr int kEqLastPreset = 12;

struct EqPreset {
    int command;          // the menu command and the stored index
    const char* caption;  // UTF-8
    const char* gains;    // ten comma-separated dB values, 31 Hz first; empty for "off"
};

inline constexpr std::array<EqPreset, 12> kEqPresets = {{
    {1, "關閉等化器", ""},
    {2, "流行音樂", "3,1,0,-2,-4,-4,-2,0,1,2"},
    {3, "搖滾", "-2,0,2,4,-2,-2,0,0,4,4"},
    {4, "金屬", "-6,0,0,0,0,0,4,0,4,0"},
    {5, "舞曲", "-2,3,4,1,-2,-2,0,0,4,4"},
    {6, "電子樂", "-6,1,4,-2,-2,-4,0,0,6,6"},
    {7, "鄉村音樂", "-2,0,0,2,2,0,0,0,4,4"},
    {8, "爵士樂", "0,0,0,4,4,4,0,2,3,4"},
    {9, "古典樂", "0,0,6,6,4,0,0,0,2,2"},
    {10, "布魯斯", "-2,0,2,1,0,0,0,0,-2,-4"},
    {11, "懷舊音樂", "-4,0,2,1,0,0,0,0,-4,-6"},
    {12, "歌劇", "0,0,0,4,5,3,6,3,0,0"},
}};

// The preset of a stored index, or nothing for an index outside 1 to 12.
std::optional<EqPreset> FindEqPreset(int index);
QString EqPresetCaption(const EqPreset& preset);

// Ten gains from a comma-separated text. A missing or unreadable entry counts as 0 dB, so a
// damaged preset text flattens a band instead of leaving an earlier gain in place.
std::array<float, kEqBandCount> ParseEqGains(const QString& gains);

}  // namespace wavelot
