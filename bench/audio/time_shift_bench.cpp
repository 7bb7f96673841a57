// The buffer of received sound a stream keeps for decoding again: its memory and the cost of
// keeping it, over a day of a station fed in as fast as the buffer takes it.
//   time_shift_bench --benchmark_filter=Day
// Counters per bit rate (30 minutes kept, MP3 packets of 1152 frames at 44.1 kHz):
// held_mib (memory after the first 30 minutes), end_mib and peak_mib over the day (bounded:
// the same as held_mib), cpu_ms_per_hour (the decoder thread's cost of appending and marking an
// hour of the station), and day_s (wall time to feed the whole day).
//   time_shift_bench --benchmark_filter=Replay
// cpu_s_per_minute: decoding a minute of the kept sound again, as the output does while it plays
// behind live (a 60 s MP3 tone made by ffmpeg at each bit rate).

#include "engine/audio/decoder.h"
#include "engine/audio/time_shift.h"
#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace wavelot::audio;

constexpr int kRate = 44100;
constexpr int kFrameSamples = 1152;
constexpr int kMinutesKept = 30;

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void BM_TimeShiftDay(benchmark::State& state) {
    const int kbps = int(state.range(0));
    const size_t bytesPerSecond = size_t(kbps) * 1000 / 8;
    // A packet's size in bytes as a padded CBR stream spreads it: 417 or 418 at 128 kbit/s.
    const double packetBytes = double(bytesPerSecond) * kFrameSamples / kRate;
    const quint64 packetsPerHour = quint64(3600.0 * kRate / kFrameSamples);
    std::vector<char> packet(size_t(packetBytes) + 1, '\x55');
    double held = 0, peak = 0, end = 0, cpuPerHour = 0, daySeconds = 0;
    for (auto _ : state) {
        TimeShiftBuffer buffer(bytesPerSecond * 60 * kMinutesKept);
        qint64 pos = 0;
        quint64 frame = 0;
        double carry = 0;
        size_t peakBytes = 0;
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        for (int hour = 0; hour < 24; ++hour) {
            for (quint64 i = 0; i < packetsPerHour; ++i) {
                carry += packetBytes;
                const size_t n = size_t(carry);
                carry -= double(n);
                buffer.Mark(pos, frame);
                buffer.Append(packet.data(), n);
                pos += qint64(n);
                frame += kFrameSamples;
                if (hour == 0 && i == packetsPerHour / 2)
                    held = double(buffer.MemoryBytes()) / (1 << 20);
            }
            peakBytes = std::max(peakBytes, buffer.MemoryBytes());
        }
        cpuPerHour = (CpuSeconds() - cpu0) * 1000 / 24;
        daySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        peak = double(peakBytes) / (1 << 20);
        end = double(buffer.MemoryBytes()) / (1 << 20);
        benchmark::DoNotOptimize(buffer.HeldBytes());
    }
    state.counters["held_mib"] = held;
    state.counters["peak_mib"] = peak;
    state.counters["end_mib"] = end;
    state.counters["cpu_ms_per_hour"] = cpuPerHour;
    state.counters["day_s"] = daySeconds;
}
BENCHMARK(BM_TimeShiftDay)->Arg(128)->Arg(320)->Iterations(1)->Unit(benchmark::kMillisecond);

// Decodes a file as a stream does, keeping its input and marking each packet's first frame.
class KeepingHost final : public DecoderHost {
public:
    KeepingHost(QByteArray input, TimeShiftBuffer& buffer) : input_(std::move(input)), buffer_(buffer) {}
    size_t ReadInput(char* out, size_t max) override {
        const size_t n = std::min<size_t>(max, size_t(input_.size()) - pos_);
        std::memcpy(out, input_.constData() + pos_, n);
        buffer_.Append(out, n);
        pos_ += n;
        return n;
    }
    bool Aborted() const override { return false; }
    void OnFormat(const SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float*, size_t count, qint64 sourcePos, size_t lead) override {
        if (sourcePos >= 0)
            buffer_.Mark(sourcePos, decoded_ + lead);
        decoded_ += count;
        return true;
    }

private:
    QByteArray input_;
    size_t pos_ = 0;
    TimeShiftBuffer& buffer_;
    quint64 decoded_ = 0;
};

void BM_TimeShiftReplay(benchmark::State& state) {
    const int kbps = int(state.range(0));
    static const std::string dir = wavelot::test::MakeTempDir("wavelot-time-shift-bench");
    QFile file(QString::fromStdString(
        wavelot::test::IcyServer::MakeTone(dir, 440, 60.0, "libmp3lame", "mp3", kbps)));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("ffmpeg must be installed to make the tone");
        return;
    }
    auto buffer = std::make_shared<TimeShiftBuffer>(size_t(file.size()) + 1024);
    KeepingHost live(file.readAll(), *buffer);
    Decoder(live, kRate).Run("audio/mpeg", {}, 2000);
    const BufferReplay replay(buffer, "audio/mpeg", kRate, {});
    double cpuPerMinute = 0;
    for (auto _ : state) {
        quint64 frames = 0;
        const double cpu0 = CpuSeconds();
        replay.Run(0, [&](quint64, const int16_t*, size_t count) {
            frames += count;
            return true;
        });
        cpuPerMinute = (CpuSeconds() - cpu0) / (double(frames) / kRate / 60);
    }
    state.counters["cpu_s_per_minute"] = cpuPerMinute;
    state.counters["cpu_percent_of_core"] = cpuPerMinute / 60 * 100;
}
BENCHMARK(BM_TimeShiftReplay)->Arg(128)->Arg(320)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
