#pragma once
// A private PulseAudio server for tests: started headless in a temporary XDG_RUNTIME_DIR with
// one null sink ("wavelot_null", 44100 Hz stereo), made the server of this process (PULSE_SERVER)
// while the rig lives, and read back through the sink's monitor with parec. The server also ends
// by itself 20 s after its last client left, so a test program that dies leaves nothing behind.
//
//   wavelot::test::PulseRig pulse;
//   ASSERT_TRUE(pulse.Start()) << pulse.Error();   // before AudioLibrary::Init
//   pulse.StartRecording();  ...play...  auto pcm = pulse.StopRecording();
//   EXPECT_NEAR(EstimateFrequency(pcm, 44100), 440, 5);

#include "tests/support/child_process.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wavelot::test {

class PulseRig {
public:
    PulseRig() = default;
    ~PulseRig();
    PulseRig(const PulseRig&) = delete;
    PulseRig& operator=(const PulseRig&) = delete;

    bool Start();
    // Ends the server (clients see their connection break); PULSE_SERVER keeps pointing at it.
    void Stop();
    const std::string& Error() const { return error_; }
    std::string Server() const { return "unix:" + dir_ + "/pulse/native"; }

    // Records the monitor (interleaved stereo float, 44100 Hz) until StopRecording.
    bool StartRecording();
    std::vector<float> StopRecording();

private:
    std::string dir_;
    std::string error_;
    int daemonPid_ = -1;
    std::string oldServer_;
    bool hadServer_ = false;
    ChildProcess parec_;
    std::thread reader_;
    std::mutex mu_;
    std::vector<float> samples_;  // (mu_)
};

// Frequency of the dominant tone of interleaved stereo samples (mono mix), from its zero
// crossings over the part louder than silence; 0 when it is silent.
double EstimateFrequency(const std::vector<float>& stereo, int rate);
// Root mean square of the mono mix, skipping the first skipFrames frames.
double Rms(const std::vector<float>& stereo, size_t skipFrames = 0);

}  // namespace wavelot::test
