#include "tests/audio/audio_test_util.h"

#include "tests/support/child_process.h"
#include "tests/support/icy_server.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

namespace wavelot::test {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string d = MakeTempDir("wavelot-audio-test");
        // Removed when the program exits normally.
        static struct Cleanup {
            std::string path;
            ~Cleanup() { RemoveTree(path); }
        } cleanup{d};
        return d;
    }();
    return dir;
}

std::string Tone(int frequency, const std::string& codec, const std::string& format,
                 const std::string& extension, int bitrateKbps) {
    static std::mutex mu;
    static std::map<std::string, std::string> made;
    std::lock_guard lock(mu);
    const std::string key = std::to_string(frequency) + codec + format + std::to_string(bitrateKbps);
    auto it = made.find(key);
    if (it != made.end())
        return it->second;
    std::string path =
        IcyServer::MakeTone(ScratchDir(), frequency, 20.0, codec, format, bitrateKbps, extension);
    made[key] = path;
    return path;
}

int PeakBin(const std::vector<float>& bins) {
    return int(std::max_element(bins.begin() + 1, bins.end()) - bins.begin());
}

}  // namespace wavelot::test
