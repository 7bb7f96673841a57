#pragma once
// A real Icecast server (icecast2) for tests: started on 127.0.0.1 on a free port with a
// temporary configuration, fed by the ffmpeg program with generated tones, titles changed
// through its admin interface. Everything stops with the rig.
//
//   wavelot::test::IcecastRig ice;
//   ASSERT_TRUE(ice.Start()) << ice.Error();
//   ASSERT_TRUE(ice.StartSource({.mount = "/test.mp3"})) << ice.Error();
//   ice.SetTitle("/test.mp3", "Artist - Song");
//   library.StreamCreateURL(QString::fromStdString(ice.Url("/test.mp3")));
//
// The source is our own client of Icecast's PUT source protocol, so its headers (name, genre,
// description, address, bit rate, audio info) are exactly the ones given; the sound comes from
// ffmpeg encoding a sine tone in real time.

#include "tests/support/child_process.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace wavelot::test {

class IcecastRig {
public:
    enum class Codec { Mp3, Vorbis, Aac };
    struct Source {
        std::string mount = "/test.mp3";
        Codec codec = Codec::Mp3;
        int frequency = 440;  // Hz of the sine tone
        int sampleRate = 44100;
        int channels = 2;
        int bitrateKbps = 128;
        double amplitude = 0.5;        // of the sine, 0..1
        std::string name = "Test FM";  // bytes as sent (UTF-8 passes through Icecast)
        std::string genre = "Jazz";
        std::string description = "Test station";
        std::string url = "http://example.invalid/";
        bool sendAudioInfo = true;  // ice-audio-info and ice-bitrate headers
    };

    IcecastRig();
    ~IcecastRig();
    IcecastRig(const IcecastRig&) = delete;
    IcecastRig& operator=(const IcecastRig&) = delete;

    // Fails (with Error()) when icecast2 or ffmpeg is missing or the server does not come up.
    bool Start();
    int Port() const { return port_; }
    std::string Url(const std::string& mount) const;
    const std::string& Error() const { return error_; }

    // Starts a source and waits (up to 10 s) until listeners can connect to its mount.
    bool StartSource(const Source& source);
    // The mount's song title through /admin/metadata (bytes as given, URL-encoded on the way).
    bool SetTitle(const std::string& mount, const std::string& title);
    // Ends the source: Icecast then ends every listener's transfer cleanly.
    void StopSource(const std::string& mount);
    // Kills the server: listeners see their connection break.
    void StopServer();

    static constexpr const char* kPassword = "hackme";

private:
    struct Feed;
    bool MountLive(const std::string& mount);
    std::string SendSourceRequest(const Source& s, const std::string& contentType, Feed& feed);
    std::string dir_;
    int port_ = 0;
    std::string error_;
    ChildProcess server_;
    std::mutex mu_;
    std::map<std::string, std::unique_ptr<Feed>> feeds_;
};

// A raw HTTP/1.0 GET to 127.0.0.1:port; returns the status code (0 on failure) and fills body.
int LoopbackGet(int port, const std::string& target, const std::string& extraHeaders = {},
                std::string* body = nullptr, int timeoutMs = 3000);

}  // namespace wavelot::test
