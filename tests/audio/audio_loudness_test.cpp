// Loudness levelling on generated sound, run block by block as the decoder would: stations
// 12 dB apart end up alike loud, nothing clips, off changes nothing, the recording's copy keeps
// the station's loudness, and each station's gain is kept and read back.

#include "engine/audio/loudness_leveller.h"
#include "engine/audio/station_loudness.h"
#include "engine/audio/stream.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <ebur128.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace wavelot::audio {
namespace {

constexpr int kRate = 44100;
constexpr size_t kBlock = 1152;

// A 1 kHz tone in both channels with a near full-scale click every five seconds from the first on.
std::vector<float> Tone(double amplitude, double seconds) {
    std::vector<float> out(size_t(seconds * kRate) * 2);
    for (size_t i = 0; i < out.size() / 2; ++i) {
        const float s = i % (5 * kRate) == kRate
                            ? 0.95f
                            : float(amplitude * std::sin(2 * std::numbers::pi * 1000 * i / kRate));
        out[2 * i] = out[2 * i + 1] = s;
    }
    return out;
}

double Lufs(const float* frames, size_t count) {
    ebur128_state* st = ebur128_init(2, kRate, EBUR128_MODE_I);
    ebur128_add_frames_float(st, frames, count);
    double l = 0;
    ebur128_loudness_global(st, &l);
    ebur128_destroy(&st);
    return l;
}

// Levels the sound in place, as the stream does: measured, then scaled.
void Level(LoudnessLeveller& leveller, std::vector<float>& sound) {
    for (size_t at = 0; at < sound.size() / 2; at += kBlock) {
        const size_t n = std::min(kBlock, sound.size() / 2 - at);
        leveller.Measure(&sound[2 * at], n);
        leveller.Apply(&sound[2 * at], n);
    }
}

TEST(LoudnessLevellerTest, StationsTwelveDbApartMeetWithinOneLuWithoutClippingAndOffChangesNothing) {
    for (const bool on : {true, false}) {
        StationLoudness table;
        table.SetEnabled(on);
        std::vector<double> heard;
        for (const double amplitude : {0.25, 0.0625}) {  // about -12 and -24 LUFS
            const std::vector<float> source = Tone(amplitude, 23);
            std::vector<float> sound = source;
            LoudnessLeveller leveller(kRate, "http://a/" + QByteArray::number(amplitude), table);
            Level(leveller, sound);
            const size_t from = size_t(20 * kRate);  // the three seconds after the first twenty
            heard.push_back(Lufs(&sound[2 * from], sound.size() / 2 - from));
            const auto [low, high] = std::minmax_element(sound.begin(), sound.end());
            EXPECT_TRUE(on ? *low >= -1 && *high <= 1 : sound == source);
        }
        EXPECT_NEAR(heard[0] - heard[1], on ? 0.0 : 12.0, on ? 1.0 : 0.5);
    }
}

TEST(LoudnessLevellerTest, TheRecordingsCopyKeepsTheStationsLoudness) {
    const QByteArray url = "http://127.0.0.1:1/quiet.mp3";
    StationLoudness::Shared().SetEnabled(true);
    StationLoudness::Shared().Keep(url, LoudnessLeveller::kMaxBoostDb);
    StreamConfig cfg;
    cfg.transport.url = url;
    Stream stream(cfg, [](quint32, quint32) {});
    const std::vector<float> source = Tone(0.05, 0.1);
    std::vector<float> sound = source;
    ASSERT_TRUE(stream.OnPcm(sound.data(), sound.size() / 2, -1, 0));
    StationLoudness::Shared().SetEnabled(false);
    const size_t last = sound.size() - 2;  // the gain glides up over the block
    EXPECT_GT(std::fabs(sound[last]), 3 * std::fabs(source[last])) << "heard: levelled up";
    const std::shared_ptr<const TailData> tail = stream.Tail();
    ASSERT_TRUE(tail && tail->mono.size() == source.size() / 2);
    for (size_t i = 0; i < tail->mono.size(); ++i)
        ASSERT_NEAR(tail->mono[i], source[2 * i] * 32767, 1.0) << i;
}

TEST(StationLoudnessTest, EachStationsGainIsKeptInABoundedFileAndStartsTheNextPlay) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QString::fromUtf16(StationLoudness::kFileName));
    StationLoudness table;
    table.SetEnabled(true);
    {
        LoudnessLeveller quiet(kRate, "http://quiet/", table);
        std::vector<float> sound = Tone(0.0625, 15);
        Level(quiet, sound);
    }
    const double learned = *table.Find("http://quiet/");
    EXPECT_GT(learned, 3.0);
    for (int i = 0; i < StationLoudness::kMaxStations; ++i)
        table.Keep("http://other/" + QByteArray::number(i), -1.5);
    table.Keep("http://quiet/", learned);  // played again: the oldest other one goes
    ASSERT_TRUE(table.Save(file));

    // A damaged line and a gain out of range are left out.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("garbage\n40\thttp://loud/\n");
    f.close();
    StationLoudness next;
    ASSERT_TRUE(next.Load(file));
    EXPECT_NEAR(*next.Find("http://quiet/"), learned, 0.01);
    EXPECT_FALSE(next.Find("http://other/0"));
    EXPECT_TRUE(next.Find("http://other/1"));
    EXPECT_FALSE(next.Find("http://loud/"));

    // The next play starts at the kept gain: the first block is already raised by it.
    next.SetEnabled(true);
    LoudnessLeveller again(kRate, "http://quiet/", next);
    std::vector<float> sound = Tone(0.0625, 0.5);
    const float before = sound[2 * 2000];
    Level(again, sound);
    EXPECT_NEAR(sound[2 * 2000] / before, std::pow(10.0, learned / 20), 0.02);
}

}  // namespace
}  // namespace wavelot::audio
