#pragma once
// Where a stream's sound goes. Each stream owns one output, used only by its output thread.
// Write blocks about as long as the device needs to take the sound, which paces the stream.

#include <QByteArray>

#include <memory>

namespace wavelot::audio {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Interleaved stereo float. False when the device failed (the caller falls back to the
    // silent output).
    virtual bool Write(const float* frames, size_t count) = 0;
    // Frames written that the listener has not heard yet (the device's and server's buffers).
    virtual size_t LatencyFrames() = 0;
};

// Tries the sound server once, without letting libpulse start one: the answer decides which
// output new streams get.
bool SoundServerAnswers();
// A PulseAudio (or PipeWire-Pulse) playback stream; null when the server does not answer.
std::unique_ptr<SoundOutput> OpenPulseOutput(int rate, const QByteArray& streamName);
// An ideal device that takes sound at real time and plays it nowhere.
std::unique_ptr<SoundOutput> OpenSilentOutput(int rate);

}  // namespace wavelot::audio
