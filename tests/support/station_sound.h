#pragma once
// Station sound for the tests and benchmarks of unbroken recordings: MP3 made with the ffmpeg program,
// the level of one tone in a stretch of sound, and whether a stretch of one recording is found
// again in another.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/icy_server.h"

namespace wavelot::test {

// A file's sound as 44.1 kHz mono (decoded by the ffmpeg program, which honours lame's record of
// its encoder delay and padding, so the count is exact); empty when it cannot be decoded.
inline std::vector<float> MonoSound(const QString& file) {
    QProcess ff;
    ff.start(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-i"), file, QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ac"),
         QStringLiteral("1"), QStringLiteral("-ar"), QStringLiteral("44100"), QStringLiteral("-")});
    if (!ff.waitForFinished(60000) || ff.exitCode() != 0)
        return {};
    const QByteArray bytes = ff.readAllStandardOutput();
    std::vector<float> out(size_t(bytes.size()) / sizeof(float));
    std::memcpy(out.data(), bytes.constData(), out.size() * sizeof(float));
    return out;
}

// MP3 at 128 kbit/s of an ffmpeg audio source ("sine=frequency=440:sample_rate=48000:duration=3"),
// without a Xing frame or tag. selfContained: no bit reservoir, so that files join frame by frame
// (at 48 kHz every frame is then 384 bytes); otherwise as stations send it, each frame leaning on
// the ones before. Empty when ffmpeg fails.
inline QByteArray StationMp3(const QString& source, int rate, bool selfContained) {
    QProcess ff;
    ff.start(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"),
                                        QStringLiteral("-loglevel"),
                                        QStringLiteral("error"),
                                        QStringLiteral("-f"),
                                        QStringLiteral("lavfi"),
                                        QStringLiteral("-i"),
                                        source,
                                        QStringLiteral("-ac"),
                                        QStringLiteral("2"),
                                        QStringLiteral("-ar"),
                                        QString::number(rate),
                                        QStringLiteral("-c:a"),
                                        QStringLiteral("libmp3lame"),
                                        QStringLiteral("-b:a"),
                                        QStringLiteral("128k"),
                                        QStringLiteral("-reservoir"),
                                        QString::number(selfContained ? 0 : 1),
                                        QStringLiteral("-write_xing"),
                                        QStringLiteral("0"),
                                        QStringLiteral("-id3v2_version"),
                                        QStringLiteral("0"),
                                        QStringLiteral("-f"),
                                        QStringLiteral("mp3"),
                                        QStringLiteral("-")});
    if (!ff.waitForFinished(60000) || ff.exitCode() != 0)
        return {};
    return ff.readAllStandardOutput();
}

inline std::string WriteBytes(const std::string& path, const QByteArray& bytes) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

// Amplitude of the frequency in mono sound [from, to) at 44.1 kHz.
inline double ToneLevel(const std::vector<float>& mono, size_t from, size_t to, double freq) {
    const double w = 2 * std::numbers::pi * freq / 44100.0;
    double re = 0, im = 0;
    for (size_t i = from; i < to; ++i) {
        re += mono[i] * std::cos(w * double(i));
        im += mono[i] * std::sin(w * double(i));
    }
    return 2 * std::hypot(re, im) / double(to - from);
}

// The best normalised correlation of `needle` with any stretch of `haystack`, both decimated by
// eight (the low band, which survives MP3 encoding well): near 1 when the needle's sound is in
// the haystack, low when it is not.
inline double BestMatch(const std::vector<float>& haystack, const std::vector<float>& needle) {
    const auto decimate = [](const std::vector<float>& x) {
        std::vector<double> out(x.size() / 8);
        for (size_t i = 0; i < out.size(); ++i)
            for (size_t k = 0; k < 8; ++k)
                out[i] += x[i * 8 + k];
        return out;
    };
    const std::vector<double> h = decimate(haystack), n = decimate(needle);
    if (n.empty() || h.size() < n.size())
        return 0;
    double nn = 0;
    for (double v : n)
        nn += v * v;
    double best = 0;
    for (size_t at = 0; at + n.size() <= h.size(); ++at) {
        double hn = 0, hh = 0;
        for (size_t i = 0; i < n.size(); ++i) {
            hn += h[at + i] * n[i];
            hh += h[at + i] * h[at + i];
        }
        if (hh > 0 && nn > 0)
            best = std::max(best, hn / std::sqrt(hh * nn));
    }
    return best;
}

// A live station of pink noise (sound that never repeats itself) at 128 kbit/s, 44.1 kHz: its
// bytes map to frames at 1152 samples per 417.96 bytes.
inline IcyServer::Stream LiveNoise(const std::string& dir, int burstBytes) {
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Noise FM", 16000);
    s.metaint = 16000;
    s.audioFile = WriteBytes(
        dir + "/noise.mp3",
        StationMp3(QStringLiteral("anoisesrc=color=pink:amplitude=0.5:seed=7:duration=120:sample_rate=44100"),
                   44100, false));
    s.live = true;
    s.burstBytes = burstBytes;
    return s;
}
inline constexpr double kSamplesPerByte = 44100.0 / 16000.0;

}  // namespace wavelot::test
