#pragma once
// Feeds a stream's sound to an external encoder program on its standard input, as WAV.
// Push is called by the decoder thread and never blocks; a writer thread of the feed does the
// pipe writes; Stop and the destructor may be called from any thread. Guarded by mu_.

#include <QStringList>

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wavelot::audio {

class EncoderFeed {
public:
    // Starts argv[0] with the rest as its arguments (no shell); null when it cannot start.
    static std::unique_ptr<EncoderFeed> Start(const QStringList& argv, int rate, bool wavHeader);
    ~EncoderFeed();
    EncoderFeed(const EncoderFeed&) = delete;
    EncoderFeed& operator=(const EncoderFeed&) = delete;

    // Interleaved stereo float; converted to 16-bit. Drops the encoder when it has fallen more
    // than kMaxBacklogSeconds behind.
    void Push(const float* frames, size_t count);
    // Ends the input and waits (bounded) for the program to finish its file.
    void Stop();
    bool Alive() const;

    static constexpr int kMaxBacklogSeconds = 5;

private:
    EncoderFeed(pid_t pid, int fd, int rate);
    void WriterLoop();
    void Reap(int waitMs);

    const pid_t pid_;
    const int rate_;
    int fd_;  // writer thread only after construction
    std::thread writer_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::string> queue_;
    size_t queuedBytes_ = 0;
    bool closing_ = false;
    bool dead_ = false;
    bool writerDone_ = false;
    bool reaped_ = false;
};

// The 44-byte header of a 16-bit PCM WAV stream of unknown length (both sizes 0xFFFFFFFF).
std::string OpenEndedWavHeader(int rate, int channels);

}  // namespace wavelot::audio
